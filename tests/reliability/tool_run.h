#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace acqsort::reliability {

// How one run of the tool ended.
struct ToolExit {
  bool signaled = false;  // killed by a signal rather than ending by itself
  int status = 0;         // exit status, or the signal number
  std::string output;     // standard output
  std::string errors;     // standard error
  bool paused = false;    // the tool reached the pause point of its ToolOptions
  bool timedOut = false;  // killed after ToolOptions::timeLimitSeconds: it hung

  bool Succeeded() const { return !signaled && status == 0; }
  // Stopped by itself with status 1 and an error line as its last line.
  bool FailedClearly() const;
};

// Where the tool's standard output goes.
enum class ToolOutput {
  kPipe,        // a pipe that the test reads (ToolExit::output)
  kFullDevice,  // /dev/full: every write fails with ENOSPC
  kClosedPipe,  // a pipe whose reader has already quit: every write fails with EPIPE
  kNone         // no standard output at all: descriptor 1 is closed
};

struct ToolOptions {
  std::string tool;              // the executable to run; empty: the one just built
  long long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes, SIGXFSZ as the tool leaves it; -1: none
  long long memoryLimit = -1;    // RLIMIT_AS in bytes; -1: none
  int user = -1;                 // run as this user and group id instead of the test's; -1: as is
  ToolOutput output = ToolOutput::kPipe;
  std::vector<std::string> wrapper;  // a command that runs the tool, such as strace and its options
  // When `pauseAtPath` is set, the tool runs under ptrace and is held as it enters the
  // first system call numbered `pauseAtCall` (SYS_write, SYS_renameat2, ...) that concerns
  // a file whose path contains `pauseAtPath`: the file of its descriptor for calls on a
  // descriptor (read, write, fsync), any name it is given for calls on names (openat,
  // renameat2, unlinkat). `atPause` runs then, and the tool goes on. Another program's
  // change lands at an exact point of the run, not at a time.
  long pauseAtCall = -1;
  std::string pauseAtPath;
  int pauseAtOccurrence = 1;  // held at the n-th such call
  std::function<void()> atPause;
  int signalAtPause = 0;  // sent to the tool after `atPause`, before it goes on
  // Under ptrace, every read and write of the tool from its first report line on moves at
  // most 3 bytes: short transfers, as a pipe, a signal or a network file system give them.
  bool shortTransfers = false;
  // A run still going after this many seconds is taken to hang and is killed, with all the
  // processes it started; 0: no limit.
  int timeLimitSeconds = 0;
};

// A run of the tool started in `dir`, ended by Wait() or Kill(). A tool that could not even
// be started (an executable the user can't reach, a limit refused) makes Wait() throw, so
// that it is never taken for the tool's own behaviour.
class ToolProcess {
 public:
  ToolProcess(const std::filesystem::path& dir, const ToolOptions& options = {});
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;
  ~ToolProcess();

  ToolExit Wait();
  ToolExit KillAfter(std::chrono::microseconds delay);

 private:
  // Runs the traced tool: to the pause point, where it runs the change and lets the tool go
  // (or, with short transfers, on to the end); returns whether the point was reached. When
  // the tool ended, `ended` is set and `raw` holds how.
  bool Supervise(int& raw, bool& ended);

  pid_t pid_ = -1;
  ToolOptions options_;
  int output_ = -1;  // the read end of the pipe that is the tool's standard output, if any
  int errors_ = -1;  // the read end of the pipe that is the tool's standard error
};

inline ToolExit RunTool(const std::filesystem::path& dir, const ToolOptions& options = {}) {
  return ToolProcess(dir, options).Wait();
}

}  // namespace acqsort::reliability
