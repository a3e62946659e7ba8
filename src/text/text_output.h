#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "common/failure.h"
#include "platform/file_system.h"
#include "text/newlines.h"

namespace acqsort {

// Writes text to a replacement file through a large buffer, every LF as CR LF. Nothing
// reaches the target until Commit() succeeds.
class TextOutput {
 public:
  static constexpr size_t kDefaultBufferSize = size_t{1} << 20;

  static Result<TextOutput> Create(const Folder& folder, const std::string& target,
                                   size_t bufferSize = kDefaultBufferSize);

  // Writes bytes that are in their on-disk form already (CR LF newlines).
  Outcome WriteOnDisk(std::string_view bytes) {
    endsWithCr_ = false;  // a new source: an untranslated copy after it starts afresh
    return Append(bytes);
  }
  // Writes `line`, which holds no LF, and then a newline. The sort writes a million of
  // these in a run: a line that fits the buffer is copied without a call.
  Outcome WriteLine(std::string_view line) {
    endsWithCr_ = false;  // a new source: an untranslated copy after it starts afresh
    if (line.size() + kNewlineOnDisk.size() > bufferSize_ - used_) {
      return WriteLineBeyondBuffer(line);
    }
    std::memcpy(buffer_.get() + used_, line.data(), line.size());
    std::memcpy(buffer_.get() + used_ + line.size(), kNewlineOnDisk.data(), kNewlineOnDisk.size());
    used_ += line.size() + kNewlineOnDisk.size();
    return {};
  }
  // Writes bytes as read from a file on disk (CR LF or LF), so that they reach the disk as
  // if read with newline translation and written with it: only an LF that no CR precedes
  // changes, into CR LF. A block without such an LF goes to the file without a copy.
  // Consecutive calls continue one file, so a block may split a CR LF pair anywhere.
  Outcome CopyUntranslated(std::string_view raw);
  Outcome Commit();

 private:
  TextOutput(ReplacementFile file, size_t bufferSize);
  // WriteLine() for a line that does not fit what is left of the buffer.
  Outcome WriteLineBeyondBuffer(std::string_view line);
  // Adds bytes as they are; what does not fit the buffer flushes it first.
  Outcome Append(std::string_view bytes);
  Outcome Flush();
  ReplacementFile file_;
  std::unique_ptr<char[]> buffer_;
  size_t bufferSize_;
  size_t used_ = 0;
  bool endsWithCr_ = false;  // the last untranslated block copied ended with a CR
};

}  // namespace acqsort
