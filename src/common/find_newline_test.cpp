#include "common/find_newline.h"

#include <gtest/gtest.h>

#include <string>

namespace acqsort {
namespace {

// Every position of the LF (and none) in texts of every length around the 16-byte steps,
// from every start: the vector loop and the byte loop must meet without a gap.
TEST(FindNewlineTest, FindsTheFirstLfAtEveryPositionAndNothingBeyondTheEnd) {
  for (size_t length = 0; length <= 40; ++length) {
    for (size_t lf = 0; lf <= length; ++lf) {  // lf == length: no LF in the text
      std::string text(length, 'x');
      if (lf < length) text[lf] = '\n';
      // An LF just past the end must not be found.
      text += '\n';
      for (size_t start = 0; start <= lf; ++start) {
        const char* found = FindNewline(text.data() + start, text.data() + length);
        EXPECT_EQ(static_cast<size_t>(found - text.data()), lf) << length << " " << lf << " " << start;
      }
    }
  }
  const std::string twice = "ab\ncd\n";
  EXPECT_EQ(FindNewline(twice.data(), twice.data() + twice.size()), twice.data() + 2);
}

}  // namespace
}  // namespace acqsort
