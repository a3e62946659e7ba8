// Ctrl-C, SIGTERM and a closed terminal's SIGHUP during the sort and during the merge: the
// tool is held as it writes its temporary file (ptrace), the signal is sent, and the tool
// goes on. It must end as by the signal, with its temporary file removed and every file as
// before or complete.

#include <signal.h>
#include <sys/syscall.h>

#include <gtest/gtest.h>

#include "small_run.h"
#include "workdir.h"

namespace acqsort::reliability {
namespace {

TEST(InterruptTest, AnInterruptLeavesNoTemporaryFileBehind) {
  struct Stage {
    const char* what;
    int write;  // the how-manieth write to a temporary file: the sort's, then the merge's
  };
  const Stage stages[] = {{"during the sort", 1}, {"during the merge", 2}};
  for (const Stage& stage : stages) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      SCOPED_TRACE(std::string(stage.what) + ", signal " + std::to_string(signal));
      WorkDir dir("interrupt");
      const auto work = dir / "work";
      WriteSmallRun(work);
      WriteFile(work / kSorted, "000009;from an earlier run\r\n");
      const Snapshot before = TakeSnapshot(work);

      ToolOptions options;
      options.pauseAtCall = SYS_write;
      options.pauseAtPath = ".acqsort-tmp";
      options.pauseAtOccurrence = stage.write;
      options.signalAtPause = signal;
      ToolExit exit = RunTool(work, options);
      ASSERT_TRUE(exit.paused);
      EXPECT_TRUE(exit.signaled) << "status " << exit.status << "\n" << exit.output;
      EXPECT_EQ(exit.status, signal);
      EXPECT_FALSE(HasTemporaryFile(work));
      const Snapshot after = TakeSnapshot(work);
      for (const std::string& violation :
           CheckInvariant(before, after, kSmallSorted, CompleteMerge(before), /*temporariesAllowed=*/false)) {
        ADD_FAILURE() << violation;
      }
      for (const std::string& part : kParts) EXPECT_EQ(after.count(part), 1u) << part;
    }
  }
}

}  // namespace
}  // namespace acqsort::reliability
