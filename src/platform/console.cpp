#include "platform/console.h"

#include "platform/console_detail.h"

namespace acqsort {

void Console::Report(std::initializer_list<std::string_view> pieces) {
  std::string line;
  for (std::string_view piece : pieces) line.append(piece);
  WriteLine(line);
}

void Console::ReportFailure(const Failure& failure) {
  Report({"* Error:", failure.file, "  ", failure.reason});
  if (!failure.note.empty()) WriteNote(failure.note);
}

void StandardOutput::WriteLine(std::string_view line) {
  if (absent_ || lost_.has_value()) return;
  const SystemStatus written = detail::WriteLineTo(detail::StandardStream::kOutput, line);
  if (written.Failed(EBADF)) {
    absent_ = true;  // started without a standard output (a detached process): nobody to tell
  } else if (!written.ok()) {
    lost_ = FailureOf("standard output", "can't be written", written.error());
  }
}

Outcome StandardOutput::Delivered() const {
  if (!lost_.has_value()) return {};
  return *lost_;
}

void WriteToStandardError(std::string_view line) {
  (void)detail::WriteLineTo(detail::StandardStream::kError, line);
}

}  // namespace acqsort
