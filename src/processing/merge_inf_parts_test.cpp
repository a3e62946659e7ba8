#include "processing/merge_inf_parts.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/recording_console.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

// Whether a part left over after an interrupted removal is held by the merged file is told
// against what the merge itself wrote: every part it merged is found, byte for byte, and a
// part changed since is not.
TEST(MergedFileHoldsPartTest, FindsWhatTheMergeWroteAndNothingElse) {
  struct Case {
    const char* name;
    std::string parts[3];
  };
  const Case cases[] = {
      {"CR LF lines", {"000001;a\r\n", "000002;b\r\n", "000003;c\r\n"}},
      {"lone LFs, which gain a CR", {"a\nb\n", "c\r\nd\n", "e\n"}},
      {"empty parts", {"", "", ""}},
      {"no final newline, a lone CR", {"a", "b\r", "\rc"}},
      {"parts that look like headers", {"#ACQ 2nd part\r\n", "x\r\n\r\n\r\n#ACQ 3rd part\r\n", "#ACQ 1th part\r\n"}},
      {"the same content in every part", {"x\r\n", "x\r\n", "x\r\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testutil::ScratchDir dir;
    const AcqConfig config = testutil::PartsIn(dir);
    const std::string* paths[] = {&config.inf1File, &config.inf2File, &config.inf3File};
    for (size_t i = 0; i < 3; ++i) testutil::WriteBytes(*paths[i], c.parts[i]);
    const Folder folder = dir.OpenFolder();
    testutil::RecordingConsole console;
    ASSERT_TRUE(MergeInfParts(config, folder, console).ok());
    const std::string merged = testutil::ReadBytes(config.infFile);

    for (size_t i = 0; i < 3; ++i) {
      SCOPED_TRACE("part " + std::to_string(i + 1));
      EXPECT_TRUE(MergedFileHoldsPart(merged, i, c.parts[i]));
      // Appended to, cut short, or with one byte changed since the merge.
      EXPECT_FALSE(MergedFileHoldsPart(merged, i, c.parts[i] + "late\r\n"));
      if (!c.parts[i].empty()) {
        EXPECT_FALSE(MergedFileHoldsPart(merged, i, c.parts[i].substr(1)));
        std::string patched = c.parts[i];
        patched.back() = patched.back() == 'z' ? 'y' : 'z';
        EXPECT_FALSE(MergedFileHoldsPart(merged, i, patched));
      }
    }
    // A merged file cut short holds no more the last part.
    EXPECT_FALSE(MergedFileHoldsPart(merged.substr(0, merged.size() - 1), 2, c.parts[2]));
  }
}

}  // namespace
}  // namespace acqsort
