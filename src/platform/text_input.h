#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/file_system.h"

namespace acqsort {

// Reads a file in large blocks, with CR LF pairs turned into LF, even where a pair is split
// across two blocks.
class TextInput {
 public:
  static constexpr size_t kDefaultBlockSize = size_t{1} << 20;

  static Result<TextInput> Open(const std::string& path, size_t blockSize = kDefaultBlockSize);

  // The next block of text; an empty block means the end of the file.
  Result<std::string_view> ReadBlock();

  // The file as it is now, with the size of what was read from it.
  Result<FileIdentity> IdentityOfWhatWasRead() const { return file_.IdentityOfWhatWasRead(); }

 private:
  TextInput(InputFile file, size_t blockSize);
  InputFile file_;
  std::unique_ptr<char[]> buffer_;
  size_t blockSize_;
  bool heldCr_ = false;  // the previous block ended with a CR, not yet known to be a pair
};

}  // namespace acqsort
