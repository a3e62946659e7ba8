#include "tool_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/uio.h>
#include <sys/user.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <cerrno>
#include <chrono>
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

namespace {

bool Traced(const ToolOptions& options) { return !options.pauseAtPath.empty() || options.shortTransfers; }

// What the child says on its standard error (the test's pipe, once set up) when it could not
// start the tool: the test then reports that, never a behaviour of the tool.
constexpr char kNotStarted[] = "acqsort test harness: the tool could not be started: ";

[[noreturn]] void NotStarted(const char* what) {
  const int error = errno;
  std::string line = std::string(kNotStarted) + what + ": " + std::strerror(error) + "\n";
  (void)!::write(STDERR_FILENO, line.data(), line.size());
  ::_exit(127);
}

}  // namespace

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
  command.push_back(options.tool.empty() ? std::string(ACQSORT_TOOL) : options.tool);
  options_ = options;
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    // The tool decides for itself what a broken pipe does to it.
    ::signal(SIGPIPE, SIG_DFL);
    // A group of its own, so that a run that hangs goes with every process it started.
    ::setpgid(0, 0);
    if (fds[0] >= 0) ::close(fds[0]);
    ::close(errorFds[0]);
    if (::dup2(errorFds[1], STDERR_FILENO) < 0 || ::chdir(dir.c_str()) != 0) NotStarted("the working directory");
    switch (options.output) {
      case ToolOutput::kPipe:
      case ToolOutput::kClosedPipe:
        if (::dup2(fds[1], STDOUT_FILENO) < 0) NotStarted("standard output");
        break;
      case ToolOutput::kFullDevice: {
        int full = ::open("/dev/full", O_WRONLY);
        if (full < 0 || ::dup2(full, STDOUT_FILENO) < 0) NotStarted("/dev/full");
        break;
      }
      case ToolOutput::kNone:
        ::close(STDOUT_FILENO);
        break;
    }
    if (options.fileSizeLimit >= 0) {
      // SIGXFSZ keeps its default, which ends a process: the tool must keep it from that.
      ::signal(SIGXFSZ, SIG_DFL);
      rlimit limit{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) NotStarted("the file size limit");
    }
    if (options.memoryLimit >= 0) {
      rlimit limit{static_cast<rlim_t>(options.memoryLimit), static_cast<rlim_t>(options.memoryLimit)};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) NotStarted("the memory limit");
    }
    if (options.user >= 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(options.user)) != 0 ||
          ::setuid(static_cast<uid_t>(options.user)) != 0) {
        NotStarted("the user to run as");
      }
    }
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (Traced(options) && ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) NotStarted("ptrace");
    ::execvp(argv[0], argv.data());
    NotStarted(argv[0]);
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

namespace {

// A string in the traced process's memory.
std::string TraceeString(pid_t pid, unsigned long long address) {
  std::string text;
  char chunk[256];
  for (;;) {
    iovec local{chunk, sizeof chunk};
    iovec remote{reinterpret_cast<void*>(address + text.size()), sizeof chunk};
    const ssize_t n = ::process_vm_readv(pid, &local, 1, &remote, 1, 0);
    if (n <= 0) return text;
    const size_t length = ::strnlen(chunk, static_cast<size_t>(n));
    text.append(chunk, length);
    if (length < static_cast<size_t>(n)) return text;
  }
}

// The files that a system call concerns: the file of its descriptor, or the names it is given.
std::vector<std::string> FilesOf(pid_t pid, const __ptrace_syscall_info& info) {
  const auto& args = info.entry.args;
  switch (info.entry.nr) {
    case SYS_openat:
    case SYS_unlinkat:
      return {TraceeString(pid, args[1])};
    case SYS_renameat:
    case SYS_renameat2:
    case SYS_linkat:
      return {TraceeString(pid, args[1]), TraceeString(pid, args[3])};
    default: {
      std::error_code unreadable;
      const std::string fd = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(args[0]);
      return {std::filesystem::read_symlink(fd, unreadable).string()};
    }
  }
}

bool IsTransfer(unsigned long long call) {
  return call == SYS_read || call == SYS_write || call == SYS_pread64 || call == SYS_pwrite64;
}

}  // namespace

bool ToolProcess::Supervise(int& raw, bool& ended) {
  // The first stop is the one after exec; the tool may end in any of the later ones.
  ended = false;
  auto waitForStop = [&] {
    if (::waitpid(pid_, &raw, 0) != pid_) return false;
    ended = !WIFSTOPPED(raw);
    return !ended;
  };
  if (!waitForStop()) return false;
  ::ptrace(PTRACE_SETOPTIONS, pid_, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  bool paused = false;
  bool toolStarted = false;
  int occurrences = 0;
  int signal = 0;
  for (;;) {
    if (::ptrace(PTRACE_SYSCALL, pid_, nullptr, signal) != 0) return paused;
    signal = 0;
    if (!waitForStop()) return paused;
    if (WSTOPSIG(raw) != (SIGTRAP | 0x80)) {
      signal = WSTOPSIG(raw);  // a signal of the tool's own, delivered as it would be
      continue;
    }
    __ptrace_syscall_info info{};
    if (::ptrace(PTRACE_GET_SYSCALL_INFO, pid_, sizeof info, &info) <= 0) return paused;
    if (info.op != PTRACE_SYSCALL_INFO_ENTRY) continue;
    // From the tool's first report line on: the loader before it reads whole headers.
    toolStarted = toolStarted || (info.entry.nr == SYS_write && info.entry.args[0] == 1);
    if (options_.shortTransfers && toolStarted && IsTransfer(info.entry.nr) && info.entry.args[2] > 3) {
      user_regs_struct registers{};
      if (::ptrace(PTRACE_GETREGS, pid_, nullptr, &registers) != 0) return paused;
      registers.rdx = 3;  // the third argument: how many bytes
      if (::ptrace(PTRACE_SETREGS, pid_, nullptr, &registers) != 0) return paused;
    }
    if (paused || options_.pauseAtPath.empty() ||
        static_cast<long>(info.entry.nr) != options_.pauseAtCall) {
      continue;
    }
    bool concerned = false;
    for (const std::string& file : FilesOf(pid_, info)) {
      concerned = concerned || file.find(options_.pauseAtPath) != std::string::npos;
    }
    if (!concerned || ++occurrences < options_.pauseAtOccurrence) continue;
    paused = true;
    if (options_.atPause) options_.atPause();
    if (options_.signalAtPause != 0) ::kill(pid_, options_.signalAtPause);
    if (!options_.shortTransfers) return ::ptrace(PTRACE_DETACH, pid_, nullptr, 0) == 0;
  }
}

ToolExit ToolProcess::Wait() {
  int raw = 0;
  bool paused = false;
  bool ended = false;
  if (Traced(options_)) {
    paused = Supervise(raw, ended);
    // A tool still held by a failed trace would never end.
    if (!paused && !ended) ::kill(pid_, SIGKILL);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options_.timeLimitSeconds);
  bool timedOut = false;
  while (!ended) {
    const pid_t done = ::waitpid(pid_, &raw, options_.timeLimitSeconds > 0 ? WNOHANG : 0);
    if (done == pid_) break;
    if (done < 0 && errno != EINTR) break;
    if (done == 0 && std::chrono::steady_clock::now() > deadline) {
      ::kill(-pid_, SIGKILL);
      timedOut = true;
      options_.timeLimitSeconds = 0;  // now wait for the end
    } else if (done == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  pid_ = -1;
  ToolExit exit;
  exit.paused = paused;
  exit.timedOut = timedOut;
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
  if (!exit.signaled && exit.status == 127 && exit.errors.rfind(kNotStarted, 0) == 0) {
    throw std::runtime_error(exit.errors);
  }
  return exit;
}

ToolExit ToolProcess::KillAfter(std::chrono::microseconds delay) {
  std::this_thread::sleep_for(delay);
  ::kill(pid_, SIGKILL);
  return Wait();
}

}  // namespace acqsort::reliability
