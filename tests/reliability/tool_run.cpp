#include "tool_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <utility>
#include <vector>
#include <thread>

namespace acqsort::reliability {

bool ToolExit::FailedClearly() const {
  if (signaled || status != 1) return false;
  size_t lastLine = output.rfind('\n', output.size() >= 2 ? output.size() - 2 : 0);
  lastLine = lastLine == std::string::npos ? 0 : lastLine + 1;
  return output.compare(lastLine, 8, "* Error:") == 0;
}

ToolProcess::ToolProcess(const std::filesystem::path& dir, const ToolOptions& options) {
  // Pipes rather than files for the report, so that a file size limit does not reach it;
  // the report is small enough never to fill a pipe.
  int fds[2];
  int errorFds[2];
  if (::pipe(fds) != 0 || ::pipe(errorFds) != 0) throw std::runtime_error("pipe failed");
  if (options.output == ToolOutput::kClosedPipe) {
    ::close(fds[0]);  // the reader quits before the tool writes anything
    fds[0] = -1;
  }
  std::vector<std::string> command = options.wrapper;
  command.push_back(ACQSORT_TOOL);
  pauseAtWriteTo_ = options.pauseAtWriteTo;
  atPause_ = options.atPause;
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    // The tool decides for itself what a broken pipe does to it.
    ::signal(SIGPIPE, SIG_DFL);
    if (fds[0] >= 0) ::close(fds[0]);
    ::close(errorFds[0]);
    if (::dup2(errorFds[1], STDERR_FILENO) < 0 || ::chdir(dir.c_str()) != 0) ::_exit(127);
    switch (options.output) {
      case ToolOutput::kPipe:
      case ToolOutput::kClosedPipe:
        if (::dup2(fds[1], STDOUT_FILENO) < 0) ::_exit(127);
        break;
      case ToolOutput::kFullDevice: {
        int full = ::open("/dev/full", O_WRONLY);
        if (full < 0 || ::dup2(full, STDOUT_FILENO) < 0) ::_exit(127);
        break;
      }
      case ToolOutput::kNone:
        ::close(STDOUT_FILENO);
        break;
    }
    if (options.fileSizeLimit >= 0) {
      // An ignored SIGXFSZ makes an oversized write fail with EFBIG instead of killing.
      ::signal(SIGXFSZ, SIG_IGN);
      rlimit limit{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
    }
    if (options.memoryLimit >= 0) {
      rlimit limit{static_cast<rlim_t>(options.memoryLimit), static_cast<rlim_t>(options.memoryLimit)};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(127);
    }
    if (options.user >= 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(options.user)) != 0 ||
          ::setuid(static_cast<uid_t>(options.user)) != 0) {
        ::_exit(127);
      }
    }
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (!options.pauseAtWriteTo.empty() && ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
      ::_exit(127);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  ::close(errorFds[1]);
  output_ = fds[0];
  errors_ = errorFds[0];
}

ToolProcess::~ToolProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) ::close(output_);
  if (errors_ >= 0) ::close(errors_);
}

bool ToolProcess::RunToPause(int& raw, bool& ended) {
  // The first stop is the one after exec; the tool may end in any of the later ones.
  ended = false;
  auto waitForStop = [&] {
    if (::waitpid(pid_, &raw, 0) != pid_) return false;
    ended = !WIFSTOPPED(raw);
    return !ended;
  };
  if (!waitForStop()) return false;
  ::ptrace(PTRACE_SETOPTIONS, pid_, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  int signal = 0;
  for (;;) {
    if (::ptrace(PTRACE_SYSCALL, pid_, nullptr, signal) != 0) return false;
    signal = 0;
    if (!waitForStop()) return false;
    if (WSTOPSIG(raw) != (SIGTRAP | 0x80)) {
      signal = WSTOPSIG(raw);  // a signal of the tool's own, delivered as it would be
      continue;
    }
    __ptrace_syscall_info info{};
    if (::ptrace(PTRACE_GET_SYSCALL_INFO, pid_, sizeof info, &info) <= 0) return false;
    if (info.op != PTRACE_SYSCALL_INFO_ENTRY || info.entry.nr != SYS_write) continue;
    const std::string fd = "/proc/" + std::to_string(pid_) + "/fd/" + std::to_string(info.entry.args[0]);
    std::error_code unreadable;
    const std::string target = std::filesystem::read_symlink(fd, unreadable).string();
    if (target.find(pauseAtWriteTo_) == std::string::npos) continue;
    if (atPause_) atPause_();
    return ::ptrace(PTRACE_DETACH, pid_, nullptr, 0) == 0;
  }
}

ToolExit ToolProcess::Wait() {
  int raw = 0;
  bool paused = false;
  bool ended = false;
  if (!pauseAtWriteTo_.empty()) {
    paused = RunToPause(raw, ended);
    // A tool still held by a failed trace would never end.
    if (!paused && !ended) ::kill(pid_, SIGKILL);
  }
  while (!ended && ::waitpid(pid_, &raw, 0) < 0) {
  }
  pid_ = -1;
  ToolExit exit;
  exit.paused = paused;
  exit.signaled = WIFSIGNALED(raw);
  exit.status = exit.signaled ? WTERMSIG(raw) : WEXITSTATUS(raw);
  for (auto [fd, text] : {std::pair{&output_, &exit.output}, std::pair{&errors_, &exit.errors}}) {
    if (*fd < 0) continue;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(*fd, buffer, sizeof buffer)) > 0) text->append(buffer, static_cast<size_t>(n));
    ::close(*fd);
    *fd = -1;
  }
  return exit;
}

ToolExit ToolProcess::KillAfter(std::chrono::microseconds delay) {
  std::this_thread::sleep_for(delay);
  ::kill(pid_, SIGKILL);
  return Wait();
}

}  // namespace acqsort::reliability
