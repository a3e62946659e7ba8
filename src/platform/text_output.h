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

  static Result<TextOutput> Create(const std::string& target,
                                   size_t bufferSize = kDefaultBufferSize);

  Outcome Write(std::string_view text);
  // Writes `line`, which holds no LF, and then a newline.
  Outcome WriteLine(std::string_view line);
  Outcome Commit(Durability durability);

 private:
  TextOutput(ReplacementFile file, size_t bufferSize);
  Outcome Flush();
  Outcome FlushIfFull();
  ReplacementFile file_;
  std::string buffer_;
  size_t bufferSize_;
};

}  // namespace acqsort
