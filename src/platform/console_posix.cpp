// Standard output and standard error on POSIX platforms: LF newlines, written with write(2)
// so that every failure is seen.

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "platform/console.h"

namespace acqsort {

namespace {

// 0 when all of `text` was written, else the errno value of the failure.
int WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  size_t size = text.size();
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace

StandardOutput::StandardOutput() {
  // A reader that quits early must not kill the run between two stages: the write fails
  // with EPIPE instead, and the run goes on.
  std::signal(SIGPIPE, SIG_IGN);
}

void StandardOutput::WriteLine(std::string_view line) {
  if (absent_ || !lostReason_.empty()) return;
  std::string text(line);
  text.push_back('\n');
  const int error = WriteAll(STDOUT_FILENO, text);
  if (error == EBADF) {
    absent_ = true;  // started without a standard output: nobody to tell
  } else if (error != 0) {
    lostReason_ = Reason("can't be written", error);
  }
}

void WriteToStandardError(std::string_view line) {
  std::string text(line);
  text.push_back('\n');
  (void)WriteAll(STDERR_FILENO, text);
}

}  // namespace acqsort
