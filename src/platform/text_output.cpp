#include "platform/text_output.h"

#include <utility>

#include "platform/newlines.h"

namespace acqsort {

Result<TextOutput> TextOutput::Create(const std::string& target, Durability durability,
                                      size_t bufferSize) {
  Result<ReplacementFile> file = ReplacementFile::Create(target, durability);
  if (!file.ok()) return file.failure();
  return TextOutput(std::move(file.value()), bufferSize);
}

TextOutput::TextOutput(ReplacementFile file, size_t bufferSize)
    : file_(std::move(file)), bufferSize_(bufferSize) {
  buffer_.reserve(bufferSize + 2);
}

Outcome TextOutput::Flush() {
  Outcome written = file_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return written;
}

Outcome TextOutput::FlushIfFull() {
  if (buffer_.size() < bufferSize_) return {};
  return Flush();
}

Outcome TextOutput::Write(std::string_view text) {
  endsWithCr_ = false;  // a new source: an untranslated copy after it starts afresh
  // Large texts go through in slices, so the buffer stays near its size.
  while (!text.empty()) {
    std::string_view slice = text.substr(0, bufferSize_);
    AppendWithCrLf(slice, buffer_);
    text.remove_prefix(slice.size());
    Outcome flushed = FlushIfFull();
    if (!flushed.ok()) return flushed;
  }
  return {};
}

Outcome TextOutput::WriteLine(std::string_view line) {
  if (line.size() >= bufferSize_) {
    // A line longer than the buffer goes straight to the file, after what is buffered.
    Outcome flushed = Flush();
    if (!flushed.ok()) return flushed;
    flushed = file_.Write(line.data(), line.size());
    if (!flushed.ok()) return flushed;
  } else {
    buffer_.append(line);
  }
  buffer_.append(kNewlineOnDisk);
  endsWithCr_ = false;  // a new source: an untranslated copy after it starts afresh
  return FlushIfFull();
}

Outcome TextOutput::CopyUntranslated(std::string_view raw) {
  if (raw.empty()) return {};
  size_t lone = FindLoneLf(raw, 0, endsWithCr_);
  endsWithCr_ = raw.back() == '\r';
  if (lone == std::string_view::npos && raw.size() >= bufferSize_) {
    Outcome flushed = Flush();
    if (!flushed.ok()) return flushed;
    return file_.Write(raw.data(), raw.size());
  }
  size_t start = 0;
  while (lone != std::string_view::npos) {
    buffer_.append(raw.data() + start, lone - start);
    buffer_.append(kNewlineOnDisk);
    start = lone + 1;
    lone = FindLoneLf(raw, start, false);  // raw[start - 1] is an LF
    Outcome flushed = FlushIfFull();
    if (!flushed.ok()) return flushed;
  }
  buffer_.append(raw.data() + start, raw.size() - start);
  return FlushIfFull();
}

Outcome TextOutput::Commit() {
  Outcome written = Flush();
  if (!written.ok()) return written;
  return file_.Commit();
}

}  // namespace acqsort
