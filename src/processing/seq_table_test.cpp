#include "processing/seq_table.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace acqsort {
namespace {

std::vector<size_t> Offsets(const SeqTable& table) {
  static const char kText[128] = {};
  std::vector<size_t> offsets;
  EXPECT_TRUE(table.ForEachLine(kText, [&](size_t offset) {
    offsets.push_back(offset);
    return true;
  }));
  return offsets;
}

TEST(SeqTableTest, GivesLinesInAscendingOrderWithTheLastOneFiledForANumber) {
  SeqTable table(2, 6);
  table.File(5, 50);
  table.File(3, 30);
  table.File(1, 10);  // below the range
  table.File(7, 70);  // above the range
  table.File(0, 0);   // lines without a number
  table.File(-3, 99);
  table.File(3, 31);  // a repeated number replaces the earlier line
  table.File(2, 0);   // a line at offset 0 is still a line
  EXPECT_EQ(Offsets(table), (std::vector<size_t>{0, 31, 50}));
}

TEST(SeqTableTest, FindsLinesAtTheEdgesOfItsBlocks) {
  // Slots are skipped a block of 64 at a time, and 64 blocks share a word of bits.
  const std::vector<int32_t> numbers = {1,    2,    64,   65,   66,   128,  4095, 4096,
                                        4097, 4160, 4161, 8192, 8193, 999935, 999998, 999999};
  for (int32_t first : {1, 2, 60, 4000}) {
    SeqTable table(first, 999999);
    std::vector<size_t> expected;
    for (size_t i = numbers.size(); i-- > 0;) table.File(numbers[i], i);
    for (size_t i = 0; i < numbers.size(); ++i) {
      if (numbers[i] >= first) expected.push_back(i);
    }
    EXPECT_EQ(Offsets(table), expected) << "first " << first;
  }
}

TEST(SeqTableTest, StopsWhenTheVisitorSaysSo) {
  SeqTable table(1, 9);
  for (int32_t seq = 1; seq <= 9; ++seq) table.File(seq, static_cast<size_t>(seq));
  std::vector<size_t> seen;
  EXPECT_FALSE(table.ForEachLine("0123456789", [&](size_t offset) {
    seen.push_back(offset);
    return offset < 3;
  }));
  EXPECT_EQ(seen, (std::vector<size_t>{1, 2, 3}));
}

TEST(SeqTableTest, CoversOnlyNumbersThatCanBeWritten) {
  struct Case {
    int32_t first;
    int32_t last;
    std::vector<size_t> kept;  // of the lines filed below: 999999 at 7, 1 at 8, extremes at 9
  };
  const Case cases[] = {
      {1, 500, {8}},
      {0, 500, {8}},
      {-5, 3, {8}},
      {1, std::numeric_limits<int32_t>::max(), {8, 7}},
      {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), {8, 7}},
      {10, 9, {}},
      {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(), {}},
      {-10, -1, {}},
      {0, 0, {}},
      {1000000, 2000000, {}},
  };
  for (const Case& c : cases) {
    SeqTable table(c.first, c.last);
    table.File(999999, 7);
    table.File(1, 8);
    table.File(std::numeric_limits<int32_t>::max(), 9);
    table.File(std::numeric_limits<int32_t>::min(), 9);
    EXPECT_EQ(Offsets(table), c.kept) << c.first << ".." << c.last;
  }
}

}  // namespace
}  // namespace acqsort
