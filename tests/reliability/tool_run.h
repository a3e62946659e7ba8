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
  bool paused = false;    // the tool reached ToolOptions::pauseAtWriteTo

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
  long long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored; -1: none
  long long memoryLimit = -1;    // RLIMIT_AS in bytes; -1: none
  int user = -1;                 // run as this user and group id instead of the test's; -1: as is
  ToolOutput output = ToolOutput::kPipe;
  std::vector<std::string> wrapper;  // a command that runs the tool, such as strace and its options
  // When set, the tool runs under ptrace and is held as it enters its first write() to a
  // file whose path contains this; `atPause` runs then, and the tool goes on. Another
  // program's change lands at an exact point of the run, not at a time.
  std::string pauseAtWriteTo;
  std::function<void()> atPause;
};

// A run of the tool started in `dir`, ended by Wait() or Kill().
class ToolProcess {
 public:
  ToolProcess(const std::filesystem::path& dir, const ToolOptions& options = {});
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;
  ~ToolProcess();

  ToolExit Wait();
  ToolExit KillAfter(std::chrono::microseconds delay);

 private:
  // Lets the traced tool run to the pause point, runs the change there and lets it go;
  // returns whether the point was reached. When the tool ended before, `ended` is set and
  // `raw` holds how.
  bool RunToPause(int& raw, bool& ended);

  pid_t pid_ = -1;
  std::string pauseAtWriteTo_;
  std::function<void()> atPause_;
  int output_ = -1;  // the read end of the pipe that is the tool's standard output, if any
  int errors_ = -1;  // the read end of the pipe that is the tool's standard error
};

inline ToolExit RunTool(const std::filesystem::path& dir, const ToolOptions& options = {}) {
  return ToolProcess(dir, options).Wait();
}

}  // namespace acqsort::reliability
