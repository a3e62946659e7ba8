#include "common/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace acqsort {
namespace {

// A name is counted in characters only when it is well-formed UTF-8; anything else is read
// as a single-byte code page (Windows' ANSI), one byte a character.
TEST(Utf8Test, CountsCharactersOfWellFormedTextAndBytesOfAnythingElse) {
  struct Case {
    const char* what;
    std::string text;
    bool valid;
    size_t characters;
    size_t startOfLastTwo;
  };
  const Case cases[] = {
      {"ASCII", "data.txt", true, 8, 6},
      {"two-byte letters", "Gr\xC3\xB6\xC3\x9F" "e", true, 5, 4},        // Größe
      {"a three-byte character", "\xE2\x82\xAC" "1", true, 2, 0},          // €1
      {"a four-byte character", "a\xF0\x9F\x98\x80", true, 2, 0},         // a😀
      {"empty", "", true, 0, 0},
      {"a Latin-1 byte", "Gr\xF6" "\xDF" "e", false, 5, 3},
      {"a stray continuation byte", "a\x80" "b", false, 3, 1},
      {"a character cut short", "ab\xC3", false, 3, 1},
      {"an overlong slash", "\xC0\xAF", false, 2, 0},
      {"an overlong three-byte form", "\xE0\x80\xAF", false, 3, 1},
      {"a surrogate", "\xED\xA0\x80", false, 3, 1},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false, 4, 2},
      {"the largest code point", "\xF4\x8F\xBF\xBF", true, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsValidUtf8(c.text), c.valid);
    EXPECT_EQ(CountCharacters(c.text), c.characters);
    EXPECT_EQ(StartOfLastCharacters(c.text, 2), c.startOfLastTwo);
  }
}

}  // namespace
}  // namespace acqsort
