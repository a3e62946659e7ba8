// Another program truncates or extends the ACQ file while a run reads it. The run is held at
// an exact point, its first write of the sorted file: the lines are filed, and most of them
// are still to be gathered from the mapped file. The run must then stop with its error line
// and leave every file as it was; left alone at the same point, it must finish as usual.

#include <sys/syscall.h>

#include <gtest/gtest.h>

#include <fstream>

#include "small_run.h"
#include "workdir.h"
#include "workload.h"

namespace acqsort::reliability {
namespace {

namespace fs = std::filesystem;

TEST(ChangeDuringRunTest, AnAcqFileChangedWhileTheSortReadsItStopsTheRunAndKeepsEveryFile) {
  WorkDir dir("change");
  // 100,000 lines, 5.5 MB: the sorted file's first write leaves most of it to be read.
  ASSERT_TRUE(bench::MakeWorkload(dir / "pristine", 100000, 100000, "999999"));
  const Reference reference = MakeReference(dir / "pristine", dir / "work");

  struct Case {
    const char* what;
    void (*change)(const fs::path& acq);
    bool stops;
  };
  const Case cases[] = {
      {"left alone", [](const fs::path&) {}, false},
      {"truncated to a quarter",
       [](const fs::path& acq) { fs::resize_file(acq, fs::file_size(acq) / 4); }, true},
      {"extended by a record",
       [](const fs::path& acq) {
         std::ofstream(acq, std::ios::binary | std::ios::app) << "000007;a late record\r\n";
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path work = dir / "work";
    Restore(dir / "pristine", work);
    // A copy of its own: the restored ACQ file is a hard link to the pristine one.
    fs::remove(work / kAcq);
    fs::copy_file(dir / "pristine" / kAcq, work / kAcq);

    ToolOptions options;
    options.pauseAtCall = SYS_write;
    options.pauseAtPath = ".acqsort-tmp";  // the sort's output is the first written
    options.atPause = [&] { c.change(work / kAcq); };
    ToolExit exit = RunTool(work, options);
    ASSERT_TRUE(exit.paused) << "the run never reached its first write: " << exit.output;

    Snapshot after = TakeSnapshot(work);
    if (!c.stops) {
      EXPECT_TRUE(exit.Succeeded()) << exit.output << exit.errors;
      EXPECT_EQ(after[kSorted], reference.sorted);
      EXPECT_EQ(after[kMerged], reference.merged);
      continue;
    }
    EXPECT_TRUE(exit.FailedClearly()) << exit.output << exit.errors;
    EXPECT_NE(exit.output.find("* Error:ACQ\\data.txt  can't be read: it changed while it was being read"),
              std::string::npos)
        << exit.output;
    // Nothing was written or removed: every file but the changed one is as before, and no
    // temporary file is left.
    after.erase(kAcq);
    Snapshot before = reference.before;
    before.erase(kAcq);
    EXPECT_EQ(after, before);
  }
}

// A line longer than the output's buffer goes to the sorted file straight from the mapped
// ACQ file. Cut under it, the system refuses the write (EFAULT, "Bad address"): the error
// must name the ACQ file that changed, not the sorted file.
TEST(ChangeDuringRunTest, AnAcqFileCutWhileALongLineIsWrittenIsNamed) {
  WorkDir dir("long-line");
  const fs::path work = dir / "work";
  const std::string longLine = "000001;" + std::string(3 << 20, 'x') + "\r\n";
  WriteSmallRun(work, "000002;two\r\n" + longLine);
  const Snapshot before = TakeSnapshot(work);

  ToolOptions options;
  options.pauseAtCall = SYS_write;
  options.pauseAtPath = ".acqsort-tmp";  // the long line, the sorted file's first write
  options.atPause = [&] { fs::resize_file(work / kAcq, 12); };
  ToolExit exit = RunTool(work, options);
  ASSERT_TRUE(exit.paused) << "the run never reached its first write: " << exit.output;
  EXPECT_TRUE(exit.FailedClearly()) << exit.output << exit.errors;
  EXPECT_NE(exit.output.find("* Error:ACQ\\data.txt  can't be read: it changed while it was being read"),
            std::string::npos)
      << exit.output;
  Snapshot after = TakeSnapshot(work);
  EXPECT_EQ(after[kAcq], "000002;two\r\n");
  after.erase(kAcq);
  Snapshot expected = before;
  expected.erase(kAcq);
  EXPECT_EQ(after, expected);
}

}  // namespace
}  // namespace acqsort::reliability
