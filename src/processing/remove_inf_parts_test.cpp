#include "processing/remove_inf_parts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/recording_console.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

// What the merge would have read of `path`.
FileState Read(const std::string& path) {
  Result<InputFile> file = InputFile::Open(path);
  if (!file.ok()) return FileState{};
  char buffer[256];
  while (file.value().Read(buffer, sizeof buffer).value() > 0) {
  }
  EXPECT_TRUE(file.value().CheckReadWhole().ok());
  return file.value().state();
}

TEST(RemoveInfPartsTest, ReportsEachPartInOrderAndGoesOnAfterAFailure) {
  enum State { kMissing, kUnchanged, kChanged, kGoneAfterTheMerge };
  struct Case {
    State parts[3];
    const char* report;  // with <1>, <2>, <3> standing for the parts' paths
  };
  const Case cases[] = {
      {{kUnchanged, kUnchanged, kUnchanged},
       "* <1> file has been deleted. \n* <2> file has been deleted. \n* <3> file has been deleted. \n"},
      {{kUnchanged, kChanged, kUnchanged},
       "* <1> file has been deleted. \n* Error:<2>  can't be deleted. \n* <3> file has been deleted. \n"},
      {{kMissing, kMissing, kUnchanged}, "* <3> file has been deleted. \n"},
      {{kChanged, kMissing, kMissing}, "* Error:<1>  can't be deleted. \n"},
      {{kGoneAfterTheMerge, kUnchanged, kMissing}, "* <2> file has been deleted. \n"},
      {{kMissing, kMissing, kMissing}, ""},
  };
  for (const Case& c : cases) {
    testutil::ScratchDir dir;
    const AcqConfig config = testutil::PartsIn(dir);
    const std::string* paths[] = {&config.inf1File, &config.inf2File, &config.inf3File};
    MergedPartStates merged;
    std::string expected = c.report;
    for (size_t i = 0; i < 3; ++i) {
      if (c.parts[i] != kMissing) testutil::WriteBytes(*paths[i], "records\r\n");
      merged[i] = Read(*paths[i]);
      if (c.parts[i] == kChanged) testutil::WriteBytes(*paths[i], "records\r\nmore\r\n");
      if (c.parts[i] == kGoneAfterTheMerge) std::filesystem::remove(*paths[i]);
      const std::string placeholder = "<" + std::to_string(i + 1) + ">";
      const size_t at = expected.find(placeholder);
      if (at != std::string::npos) expected.replace(at, placeholder.size(), *paths[i]);
    }
    testutil::RecordingConsole console;
    RemoveInfParts(config, merged, dir.OpenFolder(), console);
    EXPECT_EQ(console.text(), expected);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(std::filesystem::exists(*paths[i]), c.parts[i] == kChanged) << *paths[i];
    }
  }
}

// The real merge and removal on parts that another program touches in between: a part is
// removed only while it is still exactly what the merge read.
TEST(RemoveInfPartsTest, KeepsAPartThatChangedAfterTheMerge) {
  struct Case {
    const char* what;
    void (*touch)(const std::string& path);
  };
  const Case cases[] = {
      {"a record appended", [](const std::string& path) {
         testutil::WriteBytes(path, testutil::ReadBytes(path) + "late record\r\n");
       }},
      {"truncated", [](const std::string& path) { testutil::WriteBytes(path, ""); }},
      {"rewritten with the same size", [](const std::string& path) {
         std::string bytes = testutil::ReadBytes(path);
         bytes[0] = 'X';
         testutil::WriteBytes(path, bytes);
         // Some file systems keep coarse times: make the change visible in any case.
         std::filesystem::last_write_time(
             path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
       }},
      {"replaced by another file with the same content", [](const std::string& path) {
         const std::string bytes = testutil::ReadBytes(path);
         const auto time = std::filesystem::last_write_time(path);
         testutil::WriteBytes(path + ".new", bytes);
         std::filesystem::rename(path + ".new", path);
         std::filesystem::last_write_time(path, time);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testutil::ScratchDir dir;
    const AcqConfig config = testutil::PartsIn(dir);
    for (const std::string* part : {&config.inf1File, &config.inf2File, &config.inf3File}) {
      testutil::WriteBytes(*part, "record of " + *part + "\r\n");
    }
    testutil::RecordingConsole console;
    const Folder folder = dir.OpenFolder();
    Result<MergedPartStates> merged = MergeInfParts(config, folder, console);
    ASSERT_TRUE(merged.ok()) << merged.failure().reason;
    c.touch(config.inf2File);
    const std::string touched = testutil::ReadBytes(config.inf2File);

    RemoveInfParts(config, merged.value(), folder, console);
    EXPECT_EQ(console.text(), "* parts -> " + config.infFile + "\n* " + config.inf1File +
                                  " file has been deleted. \n* Error:" + config.inf2File +
                                  "  can't be deleted. \n* " + config.inf3File +
                                  " file has been deleted. \n");
    EXPECT_EQ(console.notes(), "acqsort: " + config.inf2File +
                                   " was kept: it changed since it was merged; the merged file " +
                                   config.infFile + " holds it as it was merged\n");
    EXPECT_EQ(testutil::ReadBytes(config.inf2File), touched);
    EXPECT_FALSE(std::filesystem::exists(config.inf1File));
    EXPECT_FALSE(std::filesystem::exists(config.inf3File));
  }
}

}  // namespace
}  // namespace acqsort
