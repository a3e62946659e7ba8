// Standard output and standard error on POSIX platforms: LF newlines, written with write(2)
// so that every failure is seen.

#include <unistd.h>

#include <string>

#include "platform/console_detail.h"
#include "platform/posix_write.h"

namespace acqsort::detail {

// A reader that quits early must not kill the run between two stages: SIGPIPE is ignored
// (platform/process.h), so the write fails with EPIPE instead, and the run goes on.
SystemStatus WriteLineTo(StandardStream stream, std::string_view line) {
  std::string text(line);
  text.push_back('\n');
  return WriteAllTo(stream == StandardStream::kOutput ? STDOUT_FILENO : STDERR_FILENO, text.data(), text.size());
}

}  // namespace acqsort::detail
