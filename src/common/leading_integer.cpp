#include "common/leading_integer.h"

#include <limits>

namespace acqsort {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Beyond this the exact value no longer matters: it is out of range either way.
constexpr int64_t kSaturation = int64_t{1} << 40;

}  // namespace

LeadingInteger ReadLeadingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (magnitude < kSaturation) magnitude = magnitude * 10 + (text[i] - '0');
  }
  LeadingInteger result;
  result.value = negative ? -magnitude : magnitude;
  result.fitsInt32 = result.value >= std::numeric_limits<int32_t>::min() &&
                     result.value <= std::numeric_limits<int32_t>::max();
  return result;
}

}  // namespace acqsort
