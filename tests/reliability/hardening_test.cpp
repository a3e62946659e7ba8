// What other programs, careless operators and odd machines throw at a run, against the real
// executable: pipes where files belong, outputs that may not be written or that are links,
// too little memory, a standard output that can't be written, and the order in which the
// merged file reaches the disk before the parts go.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "small_run.h"
#include "workdir.h"

namespace acqsort::reliability {
namespace {

namespace fs = std::filesystem;

void ExpectPartsKept(const fs::path& dir) {
  for (const std::string& part : kParts) EXPECT_EQ(ReadFile(dir / part), part + " content\r\n");
}

TEST(HardeningTest, APipeWhereAFileBelongsStopsTheRunWithoutWaiting) {
  for (const std::string& file : {kConfig, kAcq, kParts[0], kParts[2]}) {
    SCOPED_TRACE(file);
    WorkDir dir("fifo");
    WriteSmallRun(dir / "work");
    fs::remove(dir / "work" / file);
    ASSERT_EQ(::mkfifo((dir / "work" / file).c_str(), 0644), 0);

    // Nobody ever writes to the pipe: a run that waited for a writer would never end.
    ToolExit exit = RunTool(dir / "work");
    EXPECT_TRUE(exit.FailedClearly()) << exit.output;
    std::string shown = file;
    for (char& c : shown) c = c == '/' ? '\\' : c;
    EXPECT_NE(exit.output.find("* Error:" + shown + "  can't be opened: not a regular file"),
              std::string::npos)
        << exit.output;
    EXPECT_EQ(fs::status(dir / "work" / file).type(), fs::file_type::fifo);
    for (const std::string& part : kParts) {
      if (part != file) {
        EXPECT_EQ(ReadFile(dir / "work" / part), part + " content\r\n");
      }
    }
    EXPECT_FALSE(HasTemporaryFile(dir / "work"));
  }
}

// A copy of the tool that any user can run: the checkout may lie in a folder that only its
// owner may enter (a home folder of mode 0700).
std::string ReachableCopyOfTheTool(const fs::path& folder) {
  fs::create_directories(folder);
  fs::permissions(folder.parent_path(), fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  const fs::path copy = folder / "acqsort";
  fs::copy_file(ACQSORT_TOOL, copy, fs::copy_options::overwrite_existing);
  fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  return copy.string();
}

// The user the tool runs as when a write protection must hold: root may write anything.
int UnprivilegedUser() { return ::geteuid() == 0 ? 65534 : -1; }

TEST(HardeningTest, AWriteProtectedOutputIsNotReplaced) {
  struct Case {
    std::string output;
    std::string shown;
    bool sortDone;  // the sort ran before the stage that meets the protected file
  };
  const Case cases[] = {
      {kSorted, "ACQ\\dataR.txt", false},
      {kMerged, "ACQ\\dataINF.txt", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    WorkDir dir("write-protected");
    const fs::path work = dir / "work";
    WriteSmallRun(work);
    WriteFile(work / kSorted, "old sorted\r\n");
    WriteFile(work / kMerged, "the only copy of an earlier run's parts\r\n");
    const std::string old = ReadFile(work / c.output);
    fs::permissions(work / c.output, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const int user = UnprivilegedUser();
    if (user >= 0) {
      for (const auto& entry : fs::recursive_directory_iterator(work)) {
        ASSERT_EQ(::lchown(entry.path().c_str(), static_cast<uid_t>(user), static_cast<gid_t>(user)), 0);
      }
      ASSERT_EQ(::chown(work.c_str(), static_cast<uid_t>(user), static_cast<gid_t>(user)), 0);
    }

    ToolOptions options;
    options.user = user;
    if (user >= 0) options.tool = ReachableCopyOfTheTool(dir / "bin");
    ToolExit exit = RunTool(work, options);
    EXPECT_TRUE(exit.FailedClearly()) << exit.output;
    EXPECT_NE(exit.output.find("* Error:" + c.shown + "  can't be replaced: Permission denied"),
              std::string::npos)
        << exit.output;
    EXPECT_EQ(ReadFile(work / c.output), old);
    EXPECT_EQ(ReadFile(work / kSorted), c.sortDone ? kSmallSorted : "old sorted\r\n");
    ExpectPartsKept(work);
    EXPECT_FALSE(HasTemporaryFile(work));
  }
}

TEST(HardeningTest, AReplacedOutputKeepsItsPermissionBits) {
  WorkDir dir("modes");
  const fs::path work = dir / "work";
  WriteSmallRun(work);
  WriteFile(work / kSorted, "old\r\n");
  WriteFile(work / kMerged, "old\r\n");
  ASSERT_EQ(::chmod((work / kSorted).c_str(), 0640), 0);
  ASSERT_EQ(::chmod((work / kMerged).c_str(), 0600), 0);

  ToolExit exit = RunTool(work);
  ASSERT_TRUE(exit.Succeeded()) << exit.output;
  struct stat sorted, merged;
  ASSERT_EQ(::stat((work / kSorted).c_str(), &sorted), 0);
  ASSERT_EQ(::stat((work / kMerged).c_str(), &merged), 0);
  EXPECT_EQ(sorted.st_mode & 07777, 0640u);
  EXPECT_EQ(merged.st_mode & 07777, 0600u);
  EXPECT_EQ(ReadFile(work / kSorted), kSmallSorted);
}

TEST(HardeningTest, AnOutputThatIsASymbolicLinkBecomesAFileAndItsTargetIsNeverWritten) {
  for (const std::string& output : {kSorted, kMerged}) {
    SCOPED_TRACE(output);
    WorkDir dir("output-link");
    const fs::path work = dir / "work";
    WriteSmallRun(work);
    const std::string outside = "a file elsewhere that the link points to\r\n";
    WriteFile(dir / "outside.txt", outside);
    fs::create_symlink(dir / "outside.txt", work / output);

    ToolExit exit = RunTool(work);
    ASSERT_TRUE(exit.Succeeded()) << exit.output;
    EXPECT_EQ(fs::symlink_status(work / output).type(), fs::file_type::regular);
    EXPECT_EQ(ReadFile(dir / "outside.txt"), outside);
  }
}

// An output that is an input under another name (a hard link, a symbolic link) must not be
// replaced: the run stops before that output is written, naming both, and every input stays
// (the sort, before a merged file that is an input, is done).
TEST(HardeningTest, AnOutputThatIsAnInputStopsTheRunBeforeItIsWritten) {
  struct Case {
    const char* what;
    std::string output;
    std::string input;
    bool symbolic;
    const char* line;
  };
  const Case cases[] = {
      {"the sorted file a hard link to the ACQ file", kSorted, kAcq, false,
       "* Error:ACQ\\dataR.txt  can't be replaced: it is the same file as ACQ\\data.txt"},
      {"the sorted file a link to the configuration", kSorted, kConfig, true,
       "* Error:ACQ\\dataR.txt  can't be replaced: it is the same file as CONFIG\\ACQ.config"},
      {"the merged file a hard link to a part", kMerged, kParts[1], false,
       "* Error:ACQ\\dataINF.txt  can't be replaced: it is the same file as ACQ\\dataINF2.txt"},
      {"the merged file a link to the ACQ file", kMerged, kAcq, true,
       "* Error:ACQ\\dataINF.txt  can't be replaced: it is the same file as ACQ\\data.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir("output-is-input");
    const fs::path work = dir / "work";
    WriteSmallRun(work);
    if (c.symbolic) {
      fs::create_symlink(fs::relative(work / c.input, (work / c.output).parent_path()), work / c.output);
    } else {
      fs::create_hard_link(work / c.input, work / c.output);
    }
    Snapshot expected = TakeSnapshot(work);
    if (c.output == kMerged) expected[kSorted] = kSmallSorted;
    ToolExit exit = RunTool(work);
    EXPECT_TRUE(exit.FailedClearly()) << exit.output << exit.errors;
    EXPECT_NE(exit.output.find(std::string(c.line) + "\n"), std::string::npos) << exit.output;
    EXPECT_EQ(TakeSnapshot(work), expected);
    EXPECT_EQ(fs::symlink_status(work / c.output).type(), c.symbolic ? fs::file_type::symlink : fs::file_type::regular);
  }
}

// A part that is a link to another part: the merge reads the other part twice, the other
// part is removed first, and the link, whose file is then gone, goes too: only links are
// ever removed, and a link holds no data.
TEST(HardeningTest, APartLinkedToAnotherPartGoesOnceThatPartIsRemoved) {
  WorkDir dir("linked-part");
  const fs::path work = dir / "work";
  WriteSmallRun(work);
  fs::remove(work / kParts[2]);
  fs::create_symlink(fs::path(kParts[0]).filename(), work / kParts[2]);

  ToolExit exit = RunTool(work);
  ASSERT_TRUE(exit.Succeeded()) << exit.output << exit.errors;
  for (const char* line : {"* ACQ\\dataINF1.txt file has been deleted. \n", "* ACQ\\dataINF2.txt file has been deleted. \n",
                           "* ACQ\\dataINF3.txt file has been deleted. \n"}) {
    EXPECT_NE(exit.output.find(line), std::string::npos) << line << exit.output;
  }
  for (const std::string& part : kParts) EXPECT_FALSE(fs::exists(fs::symlink_status(work / part))) << part;
}

TEST(HardeningTest, TooLittleMemoryForTheAcqFileStopsTheRunWithAnErrorLine) {
  if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
  WorkDir dir("memory");
  const fs::path work = dir / "work";
  WriteSmallRun(work);
  WriteFile(work / kSorted, "old sorted\r\n");
  std::string acq;
  acq.reserve(96u << 20);
  while (acq.size() < (96u << 20)) acq += "000001;" + std::string(120, 'x') + "\r\n";
  WriteFile(work / kAcq, acq);

  ToolOptions options;
  options.memoryLimit = 64ll << 20;  // the ACQ file alone needs more
  ToolExit exit = RunTool(work, options);
  EXPECT_TRUE(exit.FailedClearly()) << "status " << exit.status << (exit.signaled ? " (signal)" : "")
                                    << "\n" << exit.output << exit.errors;
  EXPECT_NE(exit.output.find("* Error:ACQ\\data.txt  can't be read: " + std::string(std::strerror(ENOMEM))),
            std::string::npos)
      << exit.output;
  EXPECT_EQ(ReadFile(work / kSorted), "old sorted\r\n");
  ExpectPartsKept(work);
  EXPECT_FALSE(HasTemporaryFile(work));
}

TEST(HardeningTest, AStandardOutputThatCantBeWrittenNeverStopsTheRunHalfway) {
  struct Case {
    ToolOutput output;
    int status;
    const char* reason;  // in the line on standard error, or "" when there must be none
  };
  const Case cases[] = {
      {ToolOutput::kFullDevice, 1, "No space left on device"},
      {ToolOutput::kClosedPipe, 1, "Broken pipe"},
      {ToolOutput::kNone, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    WorkDir dir("stdout");
    const fs::path work = dir / "work";
    WriteSmallRun(work);
    const Snapshot before = TakeSnapshot(work);
    ToolOptions options;
    options.output = c.output;
    ToolExit exit = RunTool(work, options);

    EXPECT_FALSE(exit.signaled) << "signal " << exit.status;
    EXPECT_EQ(exit.status, c.status);
    if (*c.reason == '\0') {
      EXPECT_EQ(exit.errors, kSmallSortSummary);
    } else {
      EXPECT_EQ(exit.errors, kSmallSortSummary + "acqsort: standard output can't be written: " + std::string(c.reason) +
                                 "; the run went on to its end, but its report (the record of "
                                 "which parts were deleted) is lost\n");
    }
    // All of the work was done: sorted, merged, parts removed.
    EXPECT_EQ(ReadFile(work / kSorted), kSmallSorted);
    EXPECT_EQ(ReadFile(work / kMerged), CompleteMerge(before));
    for (const std::string& part : kParts) EXPECT_FALSE(fs::exists(work / part)) << part;
  }
}

// A volume that keeps no POSIX modes: NTFS through FUSE, as a USB disk from a Windows
// machine would be mounted. The run must still do all of its work.
TEST(HardeningTest, AWorkingDirectoryOnAnNtfsVolumeWorks) {
  if (::geteuid() != 0 || std::system("command -v mkntfs ntfs-3g > /dev/null 2>&1") != 0 ||
      !fs::exists("/dev/fuse")) {
    GTEST_SKIP() << "needs root, FUSE, mkntfs and ntfs-3g";
  }
  WorkDir dir("ntfs");
  const fs::path image = dir / "volume.img";
  const fs::path mountPoint = dir / "volume";
  fs::create_directories(mountPoint);
  const std::string make = "truncate -s 32M '" + image.string() + "' && mkntfs -F -Q -q '" +
                           image.string() + "' > /dev/null 2>&1 && ntfs-3g '" + image.string() +
                           "' '" + mountPoint.string() + "'";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "the NTFS volume could not be mounted";
  struct Unmount {
    fs::path path;
    ~Unmount() { std::system(("umount '" + path.string() + "'").c_str()); }
  } unmount{mountPoint};

  const fs::path work = mountPoint / "work";
  WriteSmallRun(work);
  WriteFile(work / kSorted, "old\r\n");
  (void)::chmod((work / kSorted).c_str(), 0640);  // whatever the volume makes of it
  const Snapshot before = TakeSnapshot(work);
  ToolExit exit = RunTool(work);
  ASSERT_TRUE(exit.Succeeded()) << exit.output;
  EXPECT_EQ(ReadFile(work / kSorted), kSmallSorted);
  EXPECT_EQ(ReadFile(work / kMerged), CompleteMerge(before));
  for (const std::string& part : kParts) EXPECT_FALSE(fs::exists(work / part)) << part;
  EXPECT_FALSE(HasTemporaryFile(work));
}

// The merged file's data is synced, then it is renamed into place, then its folder is
// synced, and only then is the first part removed: read from the system calls of a real run.
TEST(HardeningTest, TheMergedFileIsOnDiskBeforeTheFirstPartIsRemoved) {
  if (std::system("strace -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  WorkDir dir("durability");
  const fs::path work = dir / "work";
  WriteSmallRun(work);
  const fs::path trace = dir / "trace.txt";
  ToolOptions options;
  // LeakSanitizer cannot work under ptrace: a sanitized build runs without it here.
  options.wrapper = {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-f", "-y", "-qq", "-o", trace.string(),
                     "-e", "trace=fsync,fdatasync,rename,renameat,renameat2,unlink,unlinkat"};
  ToolExit exit = RunTool(work, options);
  ASSERT_TRUE(exit.Succeeded()) << exit.output << exit.errors;

  std::vector<std::string> calls;
  std::istringstream lines(ReadFile(trace));
  for (std::string line; std::getline(lines, line);) calls.push_back(line);
  auto find = [&](size_t from, auto matches) {
    for (size_t i = from; i < calls.size(); ++i) {
      if (matches(calls[i])) return i;
    }
    return calls.size();
  };
  auto has = [](const std::string& line, const std::string& text) { return line.find(text) != std::string::npos; };
  const std::string acqFolder = (work / "ACQ").string();
  const size_t dataSync = find(0, [&](const std::string& l) {
    return (has(l, "fsync(") || has(l, "fdatasync(")) && has(l, ".acqsort-tmp>");
  });
  const size_t rename = find(dataSync, [&](const std::string& l) {
    return has(l, "rename") && has(l, "dataINF.txt\"") && !has(l, "= -1");
  });
  const size_t folderSync = find(rename, [&](const std::string& l) {
    return has(l, "fsync(") && has(l, "<" + acqFolder + ">") && !has(l, "= -1");
  });
  // A part's removal begins when it is renamed aside.
  const size_t firstRemoval = find(0, [&](const std::string& l) {
    return (has(l, "unlink") || has(l, "rename")) && has(l, "\"dataINF1.txt\"");
  });
  std::string shown;
  for (const std::string& call : calls) shown += call + "\n";
  ASSERT_LT(dataSync, calls.size()) << "no sync of the merged file's data\n" << shown;
  ASSERT_LT(rename, calls.size()) << "no rename after the data sync\n" << shown;
  ASSERT_LT(folderSync, calls.size()) << "no sync of the folder after the rename\n" << shown;
  ASSERT_LT(firstRemoval, calls.size()) << "no removal of the first part\n" << shown;
  EXPECT_LT(folderSync, firstRemoval) << shown;
}

}  // namespace
}  // namespace acqsort::reliability
