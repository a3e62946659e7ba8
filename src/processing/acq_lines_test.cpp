#include "processing/acq_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace acqsort {
namespace {

std::vector<std::string> SortedLines(std::string_view text, int32_t first, int32_t last) {
  SeqTable table(first, last);
  FileAcqLines(text, table);
  std::vector<std::string> lines;
  EXPECT_TRUE(table.ForEachLine(text.data(), [&](size_t offset) {
    lines.emplace_back(AcqLineAt(text, offset));
    return true;
  }));
  return lines;
}

TEST(AcqLinesTest, SplitsAtLfAndDropsOnlyTheCrOfACrLfPair) {
  const std::string text = "000003;c\r\r\n000001;a\rb\n\r\n000002;b\r\n000004;last\r";
  EXPECT_EQ(SortedLines(text, 1, 9),
            (std::vector<std::string>{"000001;a\rb", "000002;b", "000003;c\r", "000004;last\r"}));
}

TEST(AcqLinesTest, ReadingRawTextEqualsReadingItAfterNewlineTranslation) {
  // The sort reads raw bytes. A reader that first turns CR LF into LF and then splits at LF
  // (the usual text-mode reading) finds these lines, written out by hand: "5", "", "  ",
  // "3 x\r", "\r7", "1\r2", "", "-4", "000002 two", "12", "9999999 nine", "\r". The sort
  // must find the same lines under the same numbers (a CR is white space before a number;
  // -4 and the lines without a number have no slot; only six digits count).
  const std::string raw =
      "5\r\n\r\n  \r\n3 x\r\r\n\r7\n1\r2\n\n-4\r\n000002 two\r\n12\r\n9999999 nine\n\r";
  EXPECT_EQ(SortedLines(raw, -100, 999999),
            (std::vector<std::string>{"1\r2", "000002 two", "3 x\r", "5", "\r7", "12", "9999999 nine"}));
}

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
