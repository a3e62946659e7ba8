#include "common/leading_integer.h"

#include <gtest/gtest.h>

namespace acqsort {
namespace {

TEST(ReadLeadingIntegerTest, ReadsSpaceSignAndDigits) {
  struct Case {
    const char* text;
    int64_t value;
    bool fits;
  };
  const Case cases[] = {
      {"42", 42, true},
      {"  \t\r\n\v\f7x", 7, true},
      {"+15", 15, true},
      {"-15,", -15, true},
      {"", 0, true},
      {"abc", 0, true},
      {"- 5", 0, true},
      {"+-5", 0, true},
      {"12 34", 12, true},
      {"000000000000000000000000000000000000009", 9, true},
      {"2147483647", 2147483647, true},
      {"-2147483648", -2147483648LL, true},
      {"2147483648", 2147483648LL, false},
      {"-2147483649", -2147483649LL, false},
  };
  for (const Case& c : cases) {
    LeadingInteger result = ReadLeadingInteger(c.text);
    EXPECT_EQ(result.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(result.fitsInt32, c.fits) << '"' << c.text << '"';
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
