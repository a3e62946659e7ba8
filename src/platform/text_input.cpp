#include "platform/text_input.h"

#include <utility>

#include "platform/newlines.h"

namespace acqsort {

Result<TextInput> TextInput::Open(const std::string& path, size_t blockSize) {
  Result<InputFile> file = InputFile::Open(path);
  if (!file.ok()) return file.failure();
  return TextInput(std::move(file.value()), blockSize);
}

TextInput::TextInput(InputFile file, size_t blockSize)
    : file_(std::move(file)), buffer_(new char[blockSize + 1]), blockSize_(blockSize) {}

Result<std::string_view> TextInput::ReadBlock() {
  for (;;) {
    size_t filled = 0;
    if (heldCr_) {
      buffer_[filled++] = '\r';
      heldCr_ = false;
    }
    Result<size_t> read = file_.Read(buffer_.get() + filled, blockSize_);
    if (!read.ok()) return read.failure();
    size_t size = filled + read.value();
    if (read.value() > 0 && buffer_[size - 1] == '\r') {
      heldCr_ = true;
      --size;
    }
    // A block that held nothing but a CR kept back is no end of file: read on.
    if (size == 0 && heldCr_) continue;
    return std::string_view(buffer_.get(), CompactCrLf(buffer_.get(), size));
  }
}

}  // namespace acqsort
