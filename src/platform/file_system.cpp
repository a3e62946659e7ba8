// The parts of the file layer that are the same on every platform.

#include <utility>

#include "platform/file_system.h"

namespace acqsort {

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
