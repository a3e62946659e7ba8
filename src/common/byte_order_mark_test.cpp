#include "common/byte_order_mark.h"

#include <gtest/gtest.h>

namespace acqsort {
namespace {

TEST(ByteOrderMarkTest, TellsTheFormByTheMark) {
  EXPECT_EQ(FormOf("#ACQ"), TextForm::kPlain);
  EXPECT_EQ(FormOf(""), TextForm::kPlain);
  EXPECT_EQ(FormOf("\xEF\xBB\xBF#ACQ"), TextForm::kUtf8WithMark);
  EXPECT_EQ(FormOf(std::string_view("\xFF\xFE#\0", 4)), TextForm::kUtf16Le);
  EXPECT_EQ(FormOf(std::string_view("\xFE\xFF\0#", 4)), TextForm::kUtf16Be);
  EXPECT_EQ(FormOf("\xEF\xBB"), TextForm::kPlain) << "a mark cut short is no mark";
}

TEST(ByteOrderMarkTest, Utf16BecomesTheSameUtf8InEitherByteOrder) {
  // "Aö€😀\n": one, two, three and four UTF-8 bytes, the last from a surrogate pair.
  const std::string le("\xFF\xFE" "A\0" "\xF6\0" "\xAC\x20" "\x3D\xD8\x00\xDE" "\n\0", 14);
  const std::string be("\xFE\xFF" "\0A" "\0\xF6" "\x20\xAC" "\xD8\x3D\xDE\x00" "\0\n", 14);
  const std::string utf8 = "A\xC3\xB6\xE2\x82\xAC\xF0\x9F\x98\x80\n";
  EXPECT_EQ(Utf8FromUtf16(le, TextForm::kUtf16Le).value(), utf8);
  EXPECT_EQ(Utf8FromUtf16(be, TextForm::kUtf16Be).value(), utf8);
}

TEST(ByteOrderMarkTest, MalformedUtf16IsRefused) {
  EXPECT_FALSE(Utf8FromUtf16(std::string("\xFF\xFE" "A", 3), TextForm::kUtf16Le)) << "odd length";
  EXPECT_FALSE(Utf8FromUtf16(std::string("\xFF\xFE\x3D\xD8", 4), TextForm::kUtf16Le)) << "lone high surrogate";
  EXPECT_FALSE(Utf8FromUtf16(std::string("\xFF\xFE\x00\xDE" "A\0", 6), TextForm::kUtf16Le)) << "lone low surrogate";
}

}  // namespace
}  // namespace acqsort
