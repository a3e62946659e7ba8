#pragma once

#include <cstdint>

namespace acqsort {

// Asks the processor to bring the memory at `address` (and the next cache line, since most
// lines are short but straddle two) into its caches; a hint with no effect on results.
inline void PrefetchForReading(const char* address) {
#if defined(__GNUC__) || defined(__clang__)
  // The second address may lie past the end of the text: computed as an integer, since a
  // prefetch never faults but pointer arithmetic past an object is not allowed.
  __builtin_prefetch(address, 0, 0);
  __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(address) + 64), 0, 0);
#else
  (void)address;
#endif
}

}  // namespace acqsort
