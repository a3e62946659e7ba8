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
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeriveFileName(c.acqFile, c.tag), c.expected) << c.acqFile << " + " << c.tag;
  }
}

}  // namespace
}  // namespace acqsort
