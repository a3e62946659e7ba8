#include "processing/remove_inf_parts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "config/read_acq_config.h"
#include "testing/recording_console.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

// Answers each removal as told and records what was asked.
class FakeRemover : public PathRemover {
 public:
  explicit FakeRemover(std::map<std::string, Removal> answers) : answers_(std::move(answers)) {}

  Removal Remove(const std::string& path, const FileIdentity&) const override {
    attempts_.push_back(path);
    auto answer = answers_.find(path);
    return answer == answers_.end() ? Removal::kAbsent : answer->second;
  }

  std::map<std::string, Removal> answers_;
  mutable std::vector<std::string> attempts_;
};

const AcqConfig kConfig = ParseAcqConfig("#ACQ\n\nname:\"data.txt\"\n1\n9\n").config;

TEST(RemoveInfPartsTest, ReportsEachPartInOrderAndGoesOnAfterAFailure) {
  const std::string p1 = "ACQ\\dataINF1.txt", p2 = "ACQ\\dataINF2.txt", p3 = "ACQ\\dataINF3.txt";
  struct Case {
    std::map<std::string, Removal> answers;
    const char* report;
  };
  const Case cases[] = {
      {{{p1, Removal::kRemoved}, {p2, Removal::kRemoved}, {p3, Removal::kRemoved}},
       "* ACQ\\dataINF1.txt file has been deleted. \n"
       "* ACQ\\dataINF2.txt file has been deleted. \n"
       "* ACQ\\dataINF3.txt file has been deleted. \n"},
      {{{p1, Removal::kRemoved}, {p2, Removal::kKept}, {p3, Removal::kRemoved}},
       "* ACQ\\dataINF1.txt file has been deleted. \n"
       "* Error:ACQ\\dataINF2.txt  can't be deleted. \n"
       "* ACQ\\dataINF3.txt file has been deleted. \n"},
      {{{p3, Removal::kRemoved}}, "* ACQ\\dataINF3.txt file has been deleted. \n"},
      {{{p1, Removal::kKept}}, "* Error:ACQ\\dataINF1.txt  can't be deleted. \n"},
      {{{p1, Removal::kAbsent}, {p2, Removal::kRemoved}}, "* ACQ\\dataINF2.txt file has been deleted. \n"},
      {{}, ""},
  };
  for (const Case& c : cases) {
    FakeRemover remover(c.answers);
    testutil::RecordingConsole console;
    RemoveInfParts(kConfig, MergedParts{}, console, remover);
    EXPECT_EQ(console.text(), c.report);
    EXPECT_EQ(remover.attempts_, (std::vector<std::string>{p1, p2, p3})) << "every part, in order";
  }
}

TEST(RemoveInfPartsTest, WritesNothingWhenNoPartExistsOnDisk) {
  // The real file layer, in a working directory that holds no ACQ folder at all.
  testutil::RecordingConsole console;
  AcqConfig config = ParseAcqConfig("#ACQ\n\nname:\"no-such-run-anywhere.txt\"\n1\n9\n").config;
  RemoveInfParts(config, MergedParts{}, console);
  EXPECT_EQ(console.text(), "");
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
    AcqConfig config;
    config.infFile = dir.Path("merged.txt");
    config.inf1File = dir.Path("part1.txt");
    config.inf2File = dir.Path("part2.txt");
    config.inf3File = dir.Path("part3.txt");
    config.infAllLabel = "parts";
    for (const std::string* part : {&config.inf1File, &config.inf2File, &config.inf3File}) {
      testutil::WriteBytes(*part, "record of " + *part + "\r\n");
    }
    testutil::RecordingConsole console;
    Result<MergedParts> merged = MergeInfParts(config, console);
    ASSERT_TRUE(merged.ok()) << merged.failure().reason;
    c.touch(config.inf2File);
    const std::string touched = testutil::ReadBytes(config.inf2File);

    RemoveInfParts(config, merged.value(), console);
    EXPECT_EQ(console.text(), "* parts -> " + config.infFile + "\n* " + config.inf1File +
                                  " file has been deleted. \n* Error:" + config.inf2File +
                                  "  can't be deleted. \n* " + config.inf3File +
                                  " file has been deleted. \n");
    EXPECT_EQ(testutil::ReadBytes(config.inf2File), touched);
    EXPECT_FALSE(std::filesystem::exists(config.inf1File));
    EXPECT_FALSE(std::filesystem::exists(config.inf3File));
  }
}

}  // namespace
}  // namespace acqsort
