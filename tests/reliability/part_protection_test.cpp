// Other programs at work on the parts, the outputs and the folder at exact moments of a run:
// the tool is held at a chosen system call (ptrace), the other program acts, the tool goes
// on. Whatever the other program wrote must survive, and the report must say what became of
// each part.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "small_run.h"
#include "workdir.h"

namespace acqsort::reliability {
namespace {

namespace fs = std::filesystem;

const std::string kPart2Line = "* ACQ\\dataINF2.txt file has been deleted. \n";
const std::string kPart2Kept = "* Error:ACQ\\dataINF2.txt  can't be deleted. \n";

void Append(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// The parts as a logger left them a while ago: a change during the run shows in their time
// even where the file system keeps coarse times.
void AgeParts(const fs::path& work) {
  for (const std::string& part : kParts) {
    fs::last_write_time(work / part, fs::last_write_time(work / part) - std::chrono::hours(24));
  }
}

TEST(PartProtectionTest, APartRewrittenWhileTheMergeReadsItStopsTheRunAndStays) {
  struct Case {
    const char* what;
    void (*change)(const fs::path& part);
    std::string after;
  };
  const Case cases[] = {
      {"patched in place, same size",
       [](const fs::path& part) {
         std::fstream file(part, std::ios::binary | std::ios::in | std::ios::out);
         file.seekp(0);
         file << "X";
       },
       "XCQ/dataINF2.txt content\r\n"},
      {"truncated and rewritten",
       [](const fs::path& part) { WriteFile(part, "a new beginning\r\n"); },
       "a new beginning\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir("rewritten");
    const fs::path work = dir / "work";
    WriteSmallRun(work);
    WriteFile(work / kMerged, "an earlier merge\r\n");
    AgeParts(work);

    ToolOptions options;
    options.pauseAtCall = SYS_read;  // the merge reads the second part
    options.pauseAtPath = "dataINF2.txt";
    options.atPause = [&] { c.change(work / kParts[1]); };
    ToolExit exit = RunTool(work, options);
    ASSERT_TRUE(exit.paused) << exit.output;
    EXPECT_TRUE(exit.FailedClearly()) << exit.output;
    EXPECT_NE(exit.output.find("* Error:ACQ\\dataINF2.txt  can't be read: it changed while it was being read"),
              std::string::npos)
        << exit.output;
    EXPECT_EQ(ReadFile(work / kMerged), "an earlier merge\r\n");
    EXPECT_EQ(ReadFile(work / kParts[0]), kParts[0] + " content\r\n");
    EXPECT_EQ(ReadFile(work / kParts[1]), c.after);
    EXPECT_EQ(ReadFile(work / kParts[2]), kParts[2] + " content\r\n");
    EXPECT_FALSE(HasTemporaryFile(work));
  }
}

// Between the last look at a part and its removal there is no moment in which another
// program's change can be removed with it.
TEST(PartProtectionTest, AChangeAtTheMomentOfRemovalIsNeverRemovedWithThePart) {
  struct Case {
    const char* what;
    long call;             // the tool is held as it enters this call...
    const char* path;      // ...on this file
    void (*change)(const fs::path& work);
    const char* report;    // the line for the second part
    std::string part2;     // what ACQ/dataINF2.txt then holds
  };
  const Case cases[] = {
      {"a line appended as the part is set aside", SYS_renameat2, "dataINF2.txt",
       [](const fs::path& work) { Append(work / kParts[1], "late record\r\n"); },
       "* Error:ACQ\\dataINF2.txt  can't be deleted. \n",
       kParts[1] + " content\r\nlate record\r\n"},
      {"another file renamed over the part as it is set aside", SYS_renameat2, "dataINF2.txt",
       [](const fs::path& work) {
         WriteFile(work / "ACQ" / "new.txt", kParts[1] + " content\r\n");
         fs::rename(work / "ACQ" / "new.txt", work / kParts[1]);
       },
       "* Error:ACQ\\dataINF2.txt  can't be deleted. \n",
       kParts[1] + " content\r\n"},
      // Held as the part, set aside and found unchanged, is removed: the logger writes to
      // the part's name, which now makes a new file.
      {"a line appended by name as the part is removed", SYS_unlinkat, ".acqsort-tmp",
       [](const fs::path& work) { Append(work / kParts[1], "late record\r\n"); },
       "* ACQ\\dataINF2.txt file has been deleted. \n",
       "late record\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir("removal-window");
    const fs::path work = dir / "work";
    WriteSmallRun(work);
    AgeParts(work);
    const Snapshot before = TakeSnapshot(work);

    ToolOptions options;
    options.pauseAtCall = c.call;
    options.pauseAtPath = c.path;
    // The unlink of the second part's aside name is the second unlink of a temporary name.
    options.pauseAtOccurrence = c.call == SYS_unlinkat ? 2 : 1;
    options.atPause = [&] { c.change(work); };
    ToolExit exit = RunTool(work, options);
    ASSERT_TRUE(exit.paused) << exit.output;
    ASSERT_TRUE(exit.Succeeded()) << exit.output << exit.errors;
    EXPECT_NE(exit.output.find(c.report), std::string::npos) << exit.output;
    EXPECT_EQ(ReadFile(work / kMerged), CompleteMerge(before));
    EXPECT_EQ(ReadFile(work / kParts[1]), c.part2);
    EXPECT_FALSE(fs::exists(work / kParts[0]));
    EXPECT_FALSE(fs::exists(work / kParts[2]));
    EXPECT_FALSE(HasTemporaryFile(work));
  }
}

TEST(PartProtectionTest, APartThatAnotherProgramHasOpenForWritingStays) {
  WorkDir dir("writer");
  const fs::path work = dir / "work";
  WriteSmallRun(work);
  const Snapshot before = TakeSnapshot(work);
  // A logger that keeps the second part open and appends to it later.
  const int logger = ::open((work / kParts[1]).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(logger, 0);

  ToolExit exit = RunTool(work);
  ASSERT_TRUE(exit.Succeeded()) << exit.output << exit.errors;
  EXPECT_NE(exit.output.find(kPart2Kept), std::string::npos) << exit.output;
  EXPECT_EQ(exit.output.find(kPart2Line), std::string::npos) << exit.output;
  EXPECT_EQ(exit.errors, kSmallSortSummary + "acqsort: ACQ\\dataINF2.txt was kept: in use by another program; its content "
                         "is already in the merged file ACQ\\dataINF.txt\n");
  EXPECT_EQ(ReadFile(work / kMerged), CompleteMerge(before));
  EXPECT_FALSE(fs::exists(work / kParts[0]));
  EXPECT_FALSE(fs::exists(work / kParts[2]));

  ASSERT_EQ(::write(logger, "late record\r\n", 13), 13);
  ::close(logger);
  EXPECT_EQ(ReadFile(work / kParts[1]), before.at(kParts[1]) + "late record\r\n");
  EXPECT_FALSE(HasTemporaryFile(work));
}

// The new content never sits in a file that more users may open than the old one allowed.
TEST(PartProtectionTest, TheTemporaryFileHasTheModeOfTheFileItReplacesFromTheStart) {
  WorkDir dir("temporary-mode");
  const fs::path work = dir / "work";
  WriteSmallRun(work);
  WriteFile(work / kSorted, "private\r\n");
  ASSERT_EQ(::chmod((work / kSorted).c_str(), 0600), 0);

  mode_t seen = 0;
  ToolOptions options;
  options.pauseAtCall = SYS_write;
  options.pauseAtPath = ".acqsort-tmp";  // the sorted file's first write
  options.atPause = [&] {
    for (const auto& entry : fs::directory_iterator(work / "ACQ")) {
      struct stat info;
      if (entry.path().string().find(".acqsort-tmp") != std::string::npos &&
          ::stat(entry.path().c_str(), &info) == 0) {
        seen = info.st_mode & 07777;
      }
    }
  };
  ToolExit exit = RunTool(work, options);
  ASSERT_TRUE(exit.paused);
  ASSERT_TRUE(exit.Succeeded()) << exit.output;
  EXPECT_EQ(seen, 0600u);
  struct stat sorted;
  ASSERT_EQ(::stat((work / kSorted).c_str(), &sorted), 0);
  EXPECT_EQ(sorted.st_mode & 07777, 0600u);
}

TEST(PartProtectionTest, RunByRootAnOutputKeepsItsOwnerAndLosesSetUserId) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  WorkDir dir("owner");
  const fs::path work = dir / "work";
  WriteSmallRun(work);
  WriteFile(work / kSorted, "another user's\r\n");
  ASSERT_EQ(::chown((work / kSorted).c_str(), 1234, 2345), 0);
  ASSERT_EQ(::chmod((work / kSorted).c_str(), 06750), 0);

  ToolExit exit = RunTool(work);
  ASSERT_TRUE(exit.Succeeded()) << exit.output;
  struct stat sorted;
  ASSERT_EQ(::stat((work / kSorted).c_str(), &sorted), 0);
  EXPECT_EQ(sorted.st_uid, 1234u);
  EXPECT_EQ(sorted.st_gid, 2345u);
  EXPECT_EQ(sorted.st_mode & 07777, 0750u);
  EXPECT_EQ(ReadFile(work / kSorted), kSmallSorted);
}

// The ACQ folder is a link, retargeted to a copy while the merged file is synced: the
// rename, the folder's sync and the removals still reach the folder the run began in.
TEST(PartProtectionTest, AFolderLinkRetargetedDuringTheRunCantSendTheRemovalsElsewhere) {
  WorkDir dir("folder-link");
  const fs::path work = dir / "work";
  WriteSmallRun(dir / "original");
  fs::create_directories(work);
  fs::rename(dir / "original" / "CONFIG", work / "CONFIG");
  fs::create_directory_symlink(dir / "original" / "ACQ", work / "ACQ");
  fs::copy(dir / "original" / "ACQ", dir / "copy", fs::copy_options::recursive);
  const Snapshot original = TakeSnapshot(dir / "original");
  const Snapshot copy = TakeSnapshot(dir / "copy");

  ToolOptions options;
  options.pauseAtCall = SYS_fsync;
  options.pauseAtPath = ".acqsort-tmp";
  options.pauseAtOccurrence = 2;  // the merged file's data sync
  options.atPause = [&] {
    fs::remove(work / "ACQ");
    fs::create_directory_symlink(dir / "copy", work / "ACQ");
  };
  ToolExit exit = RunTool(work, options);
  ASSERT_TRUE(exit.paused);
  ASSERT_TRUE(exit.Succeeded()) << exit.output << exit.errors;
  EXPECT_EQ(TakeSnapshot(dir / "copy"), copy) << "the copy the link now points to is untouched";
  const Snapshot after = TakeSnapshot(dir / "original");
  EXPECT_EQ(after.count("ACQ/dataINF.txt"), 1u);
  Snapshot merge;
  for (const std::string& part : kParts) merge[part] = original.at(part);
  if (after.count("ACQ/dataINF.txt") == 1) {
    EXPECT_EQ(after.at("ACQ/dataINF.txt"), CompleteMerge(merge));
  }
  for (const std::string& part : kParts) EXPECT_EQ(after.count(part), 0u) << part;
}

}  // namespace
}  // namespace acqsort::reliability
