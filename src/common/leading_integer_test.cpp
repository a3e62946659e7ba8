#include "common/leading_integer.h"

#include <gtest/gtest.h>

namespace acqsort {
namespace {

TEST(ReadLeadingIntegerTest, ReadsSpaceSignAndDigits) {
  struct Case {
    const char* text;
    int64_t value;
    bool fits;
    size_t length;  // of the number, with the blanks and the sign before it; 0 without digits
  };
  const Case cases[] = {
      {"42", 42, true, 2},
      {"  \t\r\n\v\f7x", 7, true, 8},
      {"+15", 15, true, 3},
      {"-15,", -15, true, 3},
      {"", 0, true, 0},
      {"abc", 0, true, 0},
      {"- 5", 0, true, 0},
      {"+-5", 0, true, 0},
      {"12 34", 12, true, 2},
      {"000000000000000000000000000000000000009", 9, true, 39},
      {"2147483647", 2147483647, true, 10},
      {"-2147483648", -2147483648LL, true, 11},
      {"2147483648", 2147483648LL, false, 10},
      {"-2147483649", -2147483649LL, false, 11},
  };
  for (const Case& c : cases) {
    LeadingInteger result = ReadLeadingInteger(c.text);
    EXPECT_EQ(result.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(result.fitsInt32, c.fits) << '"' << c.text << '"';
    EXPECT_EQ(result.hasDigits, c.length > 0) << '"' << c.text << '"';
    EXPECT_EQ(result.length, c.length) << '"' << c.text << '"';
  }
}

TEST(ReadLeadingIntegerTest, HugeNumbersStayOutOfRangeInsteadOfWrappingAround) {
  LeadingInteger huge = ReadLeadingInteger("99999999999999999999999999999999999999999");
  EXPECT_FALSE(huge.fitsInt32);
  EXPECT_GT(huge.value, 0);
  LeadingInteger hugeNegative = ReadLeadingInteger("-99999999999999999999999999999999999999");
  EXPECT_FALSE(hugeNegative.fitsInt32);
  EXPECT_LT(hugeNegative.value, 0);
}

}  // namespace
}  // namespace acqsort
