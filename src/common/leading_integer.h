#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace acqsort {

// The decimal integer at the start of a text: leading white space is skipped, one sign
// character may follow, then the digits up to the first other character. A text without
// digits gives 0; anything after the digits is ignored.
struct LeadingInteger {
  int64_t value = 0;       // saturates far outside the 32-bit range
  bool fitsInt32 = true;
  bool hasDigits = false;  // false: the text does not begin with a number, and gives 0
  size_t length = 0;       // characters read, through the last digit; 0 without digits
};

// Inline, since the sort reads a number at the start of every line.
namespace leading_integer_detail {

inline bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Beyond this the exact value no longer matters: it is out of range either way.
constexpr int64_t kSaturation = int64_t{1} << 40;

}  // namespace leading_integer_detail

inline LeadingInteger ReadLeadingInteger(std::string_view text) {
  using namespace leading_integer_detail;
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t magnitude = 0;
  const size_t firstDigit = i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (magnitude < kSaturation) magnitude = magnitude * 10 + (text[i] - '0');
  }
  LeadingInteger result;
  result.value = negative ? -magnitude : magnitude;
  result.hasDigits = i > firstDigit;
  result.length = result.hasDigits ? i : 0;
  result.fitsInt32 = result.value >= std::numeric_limits<int32_t>::min() &&
                     result.value <= std::numeric_limits<int32_t>::max();
  return result;
}

}  // namespace acqsort
