#include "text/newlines.h"

#include <gtest/gtest.h>

#include <string>

namespace acqsort {
namespace {

TEST(CompactCrLfTest, TurnsOnlyCrLfPairsIntoLf) {
  struct Case {
    std::string disk;
    std::string memory;
  };
  const Case cases[] = {
      {"", ""},
      {"a\r\nb\r\n", "a\nb\n"},
      {"a\nb\n", "a\nb\n"},
      {"\r\r\n", "\r\n"},
      {"a\rb", "a\rb"},
      {"\r", "\r"},
      {"\r\n\r\n\r\n", "\n\n\n"},
      {"x\r\n\r", "x\n\r"},
      {"\n\r", "\n\r"},
      {std::string("a\0\r\n\x1a", 5), std::string("a\0\n\x1a", 4)},
  };
  for (const Case& c : cases) {
    std::string data = c.disk;
    data.resize(CompactCrLf(data.data(), data.size()));
    EXPECT_EQ(data, c.memory);
  }
}

TEST(AppendWithCrLfTest, WritesEveryLfAsCrLf) {
  struct Case {
    std::string memory;
    std::string disk;
  };
  const Case cases[] = {
      {"", ""},
      {"a\nb", "a\r\nb"},
      {"\n\n", "\r\n\r\n"},
      {"a\r\n", "a\r\r\n"},
      {"a\rb", "a\rb"},
  };
  for (const Case& c : cases) {
    std::string out = "kept:";
    AppendWithCrLf(c.memory, out);
    EXPECT_EQ(out, "kept:" + c.disk);
  }
}

}  // namespace
}  // namespace acqsort
