#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace acqsort::reliability {

// How one run of the tool ended.
struct ToolExit {
  bool signaled = false;  // killed by a signal rather than ending by itself
  int status = 0;         // exit status, or the signal number
  std::string output;     // standard output

  bool Succeeded() const { return !signaled && status == 0; }
  // Stopped by itself with status 1 and an error line as its last line.
  bool FailedClearly() const;
};

struct ToolOptions {
  long long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored; -1: none
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
  pid_t pid_ = -1;
  int output_ = -1;  // the read end of the pipe that is the tool's standard output
};

inline ToolExit RunTool(const std::filesystem::path& dir, const ToolOptions& options = {}) {
  return ToolProcess(dir, options).Wait();
}

}  // namespace acqsort::reliability
