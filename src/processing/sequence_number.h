#pragma once

#include <cstdint>
#include <string_view>

namespace acqsort {

// Sequence numbers come from the first six characters of a line, so none exceeds this.
inline constexpr int32_t kLargestSequenceNumber = 999999;

// The sequence number at the start of `line`, read from its first six characters only:
// white space, a sign, then digits. A line that does not begin so gives 0.
int32_t SequenceNumberOf(std::string_view line);

}  // namespace acqsort
