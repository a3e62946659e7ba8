#pragma once

#include <cstdint>
#include <string_view>

namespace acqsort {

// The decimal integer at the start of a text: leading white space is skipped, one sign
// character may follow, then the digits up to the first other character. A text without
// digits gives 0; anything after the digits is ignored.
struct LeadingInteger {
  int64_t value = 0;       // saturates far outside the 32-bit range
  bool fitsInt32 = true;
};

LeadingInteger ReadLeadingInteger(std::string_view text);

}  // namespace acqsort
