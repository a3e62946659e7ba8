#include "config/derive_file_name.h"

#include <gtest/gtest.h>

namespace acqsort {
namespace {

TEST(DeriveFileNameTest, InsertsTheTagBeforeTheLastFourCharacters) {
  struct Case {
    const char* acqFile;
    const char* tag;
    const char* expected;
  };
  const Case cases[] = {
      {"ACQ\\data.txt", "INF", "ACQ\\dataINF.txt"},
      {"ACQ\\data.txt", "INF1-2-3", "ACQ\\dataINF1-2-3.txt"},
      {"ACQ\\data.txt", "R", "ACQ\\dataR.txt"},
      // Counted from the end of the whole path, never at a dot.
      {"ACQ\\run.2.csv", "R", "ACQ\\run.2R.csv"},
      {"ACQ\\data.text", "R", "ACQ\\data.Rtext"},
      {"ACQ\\noextension", "R", "ACQ\\noextenRsion"},
      // Short names put the tag inside the folder prefix.
      {"ACQ\\ab", "R", "ACRQ\\ab"},
      {"ACQ\\", "R", "RACQ\\"},
      {"ACQ\\", "INF1", "INF1ACQ\\"},
      // A valid UTF-8 name counts characters, so it derives as in a single-byte code page
      // (here Windows-1252), and a cut never falls inside a character.
      {"ACQ\\Gr\xC3\xB6\xC3\x9F" "e", "R", "ACQ\\GRr\xC3\xB6\xC3\x9F" "e"},
      {"ACQ\\Gr\xC3\xB6\xC3\x9F" "e", "INF1", "ACQ\\GINF1r\xC3\xB6\xC3\x9F" "e"},
      {"ACQ\\Gr\xF6\xDF" "e", "R", "ACQ\\GRr\xF6\xDF" "e"},
      {"ACQ\\x\xE2\x82\xAC\xE2\x82\xAC.t", "R", "ACQ\\xR\xE2\x82\xAC\xE2\x82\xAC.t"},
      {"ACQ\\data.\xF0\x9F\x93\x88", "R", "ACQ\\daRta.\xF0\x9F\x93\x88"},
      // Not valid UTF-8 (a lone continuation byte): bytes, as in a single-byte code page.
      {"ACQ\\data\x80\x80\x80", "R", "ACQ\\datRa\x80\x80\x80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeriveFileName(c.acqFile, c.tag), c.expected) << c.acqFile << " + " << c.tag;
  }
}

}  // namespace
}  // namespace acqsort
