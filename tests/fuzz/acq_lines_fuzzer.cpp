// Fuzzes the sort's line reading and numbering. The first six bytes give the bounds (the
// first as a 32-bit number, the last as a 16-bit signed distance from it, so that a table
// stays small enough for many runs a second), the rest is the ACQ text as on disk. The sorted lines must be exactly those that a plain
// reading finds: translate CR LF to LF, split at LF, keep the last line for each number in
// the range, in ascending order.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <string_view>

#include "text/newlines.h"
#include "processing/acq_lines.h"
#include "processing/seq_table.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace acqsort;
  if (size < 6) return 0;
  int32_t first;
  int16_t span;
  std::memcpy(&first, data, 4);
  std::memcpy(&span, data + 4, 2);
  const int64_t wanted = int64_t{first} + span;
  const int32_t last = static_cast<int32_t>(
      std::clamp<int64_t>(wanted, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  const std::string_view text(reinterpret_cast<const char*>(data) + 6, size - 6);

  SeqTable table(first, last);
  FileAcqLines(text, table);
  std::string sorted;
  table.ForEachLine(text.data(), [&](size_t offset) {
    Require(offset < text.size());
    std::string_view line = AcqLineAt(text, offset);
    Require(line.find('\n') == std::string_view::npos);
    sorted.append(line);
    sorted.push_back('\n');
    return true;
  });

  std::string translated(text);
  translated.resize(CompactCrLf(translated.data(), translated.size()));
  std::map<int32_t, std::string_view> byNumber;
  const std::string_view plain = translated;
  for (size_t start = 0; start < plain.size();) {
    size_t lf = plain.find('\n', start);
    size_t end = lf == std::string_view::npos ? plain.size() : lf;
    int32_t seq = SequenceNumberOf(plain.substr(start, end - start + 1));
    if (seq >= 1 && seq >= first && seq <= last) byNumber[seq] = plain.substr(start, end - start);
    start = end + 1;
  }
  std::string expected;
  for (const auto& entry : byNumber) {
    Require(entry.first <= kLargestSequenceNumber);
    expected.append(entry.second);
    expected.push_back('\n');
  }
  Require(sorted == expected);
  return 0;
}
