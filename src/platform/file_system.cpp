// The parts of the file layer that are the same on every platform.

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/file_system.h"
#include "platform/file_system_detail.h"

namespace acqsort {

namespace detail {

std::string Reason(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

}  // namespace detail

Result<InputFile> InputFile::Open(const std::string& path) {
  int handle = detail::OpenForReading(path);
  if (handle < 0) return Failure{path, detail::Reason("can't be opened", errno)};
  return InputFile(path, handle);
}

InputFile::InputFile(std::string path, int handle) : path_(std::move(path)), handle_(handle) {}

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, -1)) {}

ReplacementFile::ReplacementFile(std::string target, std::string temporaryPath, int handle)
    : target_(std::move(target)), temporaryPath_(std::move(temporaryPath)), handle_(handle) {}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporaryPath_(std::move(other.temporaryPath_)),
      handle_(std::exchange(other.handle_, -1)) {
  other.temporaryPath_.clear();
}

ReplacementFile::~ReplacementFile() { Discard(); }

}  // namespace acqsort
