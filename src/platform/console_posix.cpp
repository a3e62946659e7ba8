// Standard output and standard error on POSIX platforms: LF newlines, written with write(2)
// so that every failure is seen.

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/console.h"
#include "platform/posix_write.h"

namespace acqsort {

// A reader that quits early must not kill the run between two stages: SIGPIPE is ignored
// (platform/process.h), so the write fails with EPIPE instead, and the run goes on.
StandardOutput::StandardOutput() = default;

void StandardOutput::WriteLine(std::string_view line) {
  if (absent_ || !lostReason_.empty()) return;
  std::string text(line);
  text.push_back('\n');
  const int error = detail::WriteAllTo(STDOUT_FILENO, text.data(), text.size());
  if (error == EBADF) {
    absent_ = true;  // started without a standard output: nobody to tell
  } else if (error != 0) {
    lostReason_ = Reason("can't be written", error);
  }
}

void WriteToStandardError(std::string_view line) {
  std::string text(line);
  text.push_back('\n');
  (void)detail::WriteAllTo(STDERR_FILENO, text.data(), text.size());
}

}  // namespace acqsort
