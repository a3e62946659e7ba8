#include "tool_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace acqsort::reliability {

bool ToolExit::FailedClearly() const {
  if (signaled || status != 1) return false;
  size_t lastLine = output.rfind('\n', output.size() >= 2 ? output.size() - 2 : 0);
  lastLine = lastLine == std::string::npos ? 0 : lastLine + 1;
  return output.compare(lastLine, 8, "* Error:") == 0;
}

ToolProcess::ToolProcess(const std::filesystem::path& dir, const ToolOptions& options) {
  // A pipe rather than a file for standard output, so that a file size limit does not
  // reach the report; the report is small enough never to fill the pipe.
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::close(fds[0]);
    if (::dup2(fds[1], STDOUT_FILENO) < 0 || ::chdir(dir.c_str()) != 0) ::_exit(127);
    if (options.fileSizeLimit >= 0) {
      // An ignored SIGXFSZ makes an oversized write fail with EFBIG instead of killing.
      ::signal(SIGXFSZ, SIG_IGN);
      rlimit limit{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
    }
    ::execl(ACQSORT_TOOL, ACQSORT_TOOL, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  output_ = fds[0];
}

ToolProcess::~ToolProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) ::close(output_);
}

ToolExit ToolProcess::Wait() {
  int raw = 0;
  while (::waitpid(pid_, &raw, 0) < 0) {
  }
  pid_ = -1;
  ToolExit exit;
  exit.signaled = WIFSIGNALED(raw);
  exit.status = exit.signaled ? WTERMSIG(raw) : WEXITSTATUS(raw);
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(output_, buffer, sizeof buffer)) > 0) exit.output.append(buffer, static_cast<size_t>(n));
  ::close(output_);
  output_ = -1;
  return exit;
}

ToolExit ToolProcess::KillAfter(std::chrono::microseconds delay) {
  std::this_thread::sleep_for(delay);
  ::kill(pid_, SIGKILL);
  return Wait();
}

}  // namespace acqsort::reliability
