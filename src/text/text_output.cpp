#include "text/text_output.h"

#include <utility>

namespace acqsort {

Result<TextOutput> TextOutput::Create(const Folder& folder, const std::string& target,
                                      size_t bufferSize) {
  Result<ReplacementFile> file = ReplacementFile::Create(folder, target);
  if (!file.ok()) return file.failure();
  return TextOutput(std::move(file.value()), bufferSize);
}

TextOutput::TextOutput(ReplacementFile file, size_t bufferSize)
    : file_(std::move(file)), buffer_(new char[bufferSize]), bufferSize_(bufferSize) {}

Outcome TextOutput::Flush() {
  Outcome written = file_.Write(buffer_.get(), used_);
  used_ = 0;
  return written;
}

Outcome TextOutput::Append(std::string_view bytes) {
  // What would fill the buffer on its own goes straight to the file, without a copy.
  if (bytes.size() >= bufferSize_) {
    Outcome flushed = Flush();
    if (!flushed.ok()) return flushed;
    return file_.Write(bytes.data(), bytes.size());
  }
  if (bytes.size() > bufferSize_ - used_) {
    Outcome flushed = Flush();
    if (!flushed.ok()) return flushed;
  }
  std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
  return {};
}

Outcome TextOutput::WriteLineBeyondBuffer(std::string_view line) {
  Outcome appended = Append(line);
  if (appended.ok()) appended = Append(kNewlineOnDisk);
  return appended;
}

Outcome TextOutput::CopyUntranslated(std::string_view raw) {
  if (raw.empty()) return {};
  size_t lone = FindLoneLf(raw, 0, endsWithCr_);
  endsWithCr_ = raw.back() == '\r';
  size_t start = 0;
  while (lone != std::string_view::npos) {
    Outcome appended = Append(raw.substr(start, lone - start));
    if (appended.ok()) appended = Append(kNewlineOnDisk);
    if (!appended.ok()) return appended;
    start = lone + 1;
    lone = FindLoneLf(raw, start, false);  // raw[start - 1] is an LF
  }
  return Append(raw.substr(start));
}

Outcome TextOutput::Commit() {
  Outcome written = Flush();
  if (!written.ok()) return written;
  return file_.Commit();
}

}  // namespace acqsort
