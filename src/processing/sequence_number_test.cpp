#include "processing/sequence_number.h"

#include <gtest/gtest.h>

#include <string>

namespace acqsort {
namespace {

TEST(SequenceNumberOfTest, OnlyTheFirstSixCharactersCount) {
  struct Case {
    std::string line;
    int32_t seq;
  };
  const Case cases[] = {
      {"000123;2026-11-03;4.5\n", 123},
      {"17 first\n", 17},
      {"1234567 seven digits\n", 123456},
      {"999999\n", 999999},
      {"      5 six blanks first\n", 0},
      {"   +42x\n", 42},
      {"  -7 negative\n", -7},
      {"abc 12\n", 0},
      {"\n", 0},
      {"", 0},
      {"12", 12},
      {"\t\t3\n", 3},
      {std::string("4\0" "5", 3), 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SequenceNumberOf(c.line), c.seq) << '"' << c.line << '"';
  }
}

}  // namespace
}  // namespace acqsort
