#pragma once

// The search for the next LF, the hot loop of both passes of the sort and of the merge's
// copy. One implementation of the tool's own, so that the speed of a build does not depend
// on its C runtime: the msvcrt that the Windows build imports searches one byte at a time
// (docs/performance.md has the figures).

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace acqsort {

// The first LF in [begin, end), or end when there is none. Never reads outside the range.
inline const char* FindNewline(const char* begin, const char* end) {
  const char* p = begin;
#if defined(__SSE2__)
  // Sixteen bytes at a time (SSE2 is part of every x86-64 processor).
  const __m128i lf = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int found = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf));
    if (found != 0) return p + __builtin_ctz(static_cast<unsigned>(found));
  }
#endif
  while (p < end && *p != '\n') ++p;
  return p;
}

}  // namespace acqsort
