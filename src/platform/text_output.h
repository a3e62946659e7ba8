#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/file_system.h"

namespace acqsort {

// Writes text to a replacement file through a large buffer, every LF as CR LF. Nothing
// reaches the target until Commit() succeeds.
class TextOutput {
 public:
  static constexpr size_t kDefaultBufferSize = size_t{1} << 20;

  static Result<TextOutput> Create(const std::string& target, Durability durability,
                                   size_t bufferSize = kDefaultBufferSize);

  Outcome Write(std::string_view text);
  // Writes `line`, which holds no LF, and then a newline.
  Outcome WriteLine(std::string_view line);
  // Writes bytes as read from a file on disk (CR LF or LF), so that they reach the disk as
  // if read with newline translation and written with it: only an LF that no CR precedes
  // changes, into CR LF. A block without such an LF goes to the file without a copy.
  // Consecutive calls continue one file, so a block may split a CR LF pair anywhere.
  Outcome CopyUntranslated(std::string_view raw);
  Outcome Commit();

 private:
  TextOutput(ReplacementFile file, size_t bufferSize);
  Outcome Flush();
  Outcome FlushIfFull();
  ReplacementFile file_;
  std::string buffer_;
  size_t bufferSize_;
  bool endsWithCr_ = false;  // the last untranslated block copied ended with a CR
};

}  // namespace acqsort
