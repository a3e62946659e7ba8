// The parts of the file layer that are the same on every platform.

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "platform/file_system.h"
#include "platform/file_system_detail.h"

namespace acqsort {

const char* const kTemporarySuffix = ".acqsort-tmp";

namespace detail {

std::string NotARegularFileReason(const char* what) {
  return std::string(what) + ": not a regular file (a pipe, a device or a socket)";
}

std::string TemporaryPathFor(const std::string& target, unsigned attempt) {
  const size_t separator = target.find_last_of("\\/");
  const std::string folder = separator == std::string::npos ? "" : target.substr(0, separator + 1);
  return folder + std::to_string(ProcessId()) + "-" + std::to_string(attempt) + kTemporarySuffix;
}

}  // namespace detail

Result<InputFile> InputFile::Open(const std::string& path) {
  Result<intptr_t> handle = detail::OpenRegularForReading(path);
  if (!handle.ok()) return handle.failure();
  return InputFile(path, handle.value());
}

InputFile::InputFile(std::string path, intptr_t handle) : path_(std::move(path)), handle_(handle) {}

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, -1)),
      bytesRead_(other.bytesRead_) {}

InputFile::~InputFile() {
  if (handle_ != -1) detail::Close(handle_);
}

uint64_t InputFile::CurrentSize() const { return detail::CurrentSize(handle_); }

Result<size_t> InputFile::Read(char* buffer, size_t capacity) {
  Result<size_t> read = detail::ReadSome(handle_, path_, buffer, capacity);
  if (read.ok()) bytesRead_ += read.value();
  return read;
}

Result<FileIdentity> InputFile::IdentityOfWhatWasRead() const {
  Result<FileIdentity> identity = detail::IdentityOf(handle_, path_);
  if (identity.ok()) identity.value().size = bytesRead_;
  return identity;
}

Result<std::string> ReadWholeFile(const std::string& path) {
  Result<InputFile> file = InputFile::Open(path);
  if (!file.ok()) return file.failure();
  std::string content;
  try {
    // Read into the space the file's size promises; past it, through a small probe, so
    // that a file of the promised size costs no extra memory.
    content.resize(static_cast<size_t>(file.value().CurrentSize()));
    size_t filled = 0;
    char probe[65536];
    for (;;) {
      const bool full = filled == content.size();
      Result<size_t> read = full ? file.value().Read(probe, sizeof probe)
                                 : file.value().Read(&content[filled], content.size() - filled);
      if (!read.ok()) return read.failure();
      if (read.value() == 0) break;
      if (full) content.append(probe, read.value());
      filled += read.value();
    }
    content.resize(filled);
  } catch (const std::bad_alloc&) {
    return Failure{path, Reason("can't be read", ENOMEM)};
  }
  return content;
}

Result<MappedFile> MappedFile::Open(const std::string& path) {
  Result<intptr_t> handle = detail::OpenRegularForReading(path);
  if (!handle.ok()) return handle.failure();
  Result<FileIdentity> identity = detail::IdentityOf(handle.value(), path);
  if (!identity.ok()) {
    detail::Close(handle.value());
    return identity.failure();
  }
  const size_t size = static_cast<size_t>(identity.value().size);
  // An empty file has nothing to map (and Windows maps none).
  if (size == 0) return MappedFile(path, handle.value(), -1, "", 0, nullptr, identity.value());
  Result<detail::Mapping> mapping = detail::MapForReading(handle.value(), size, path);
  if (!mapping.ok()) {
    detail::Close(handle.value());
    return mapping.failure();
  }
  return MappedFile(path, handle.value(), mapping.value().object, mapping.value().base, size,
                    mapping.value().lost, identity.value());
}

MappedFile::~MappedFile() {
  if (size_ > 0) detail::Unmap(base_, size_, mapping_);
  if (handle_ != -1) detail::Close(handle_);
}

MappedFile::MappedFile(std::string path, intptr_t handle, intptr_t mapping, const char* base,
                       size_t size, const std::atomic<bool>* lost, const FileIdentity& identity)
    : path_(std::move(path)),
      handle_(handle),
      mapping_(mapping),
      lost_(lost),
      base_(base),
      size_(size),
      identity_(identity) {}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, -1)),
      mapping_(std::exchange(other.mapping_, -1)),
      lost_(std::exchange(other.lost_, nullptr)),
      base_(std::exchange(other.base_, "")),
      size_(std::exchange(other.size_, 0)),
      identity_(other.identity_) {}

Outcome MappedFile::CheckUnchanged() const {
  Result<FileIdentity> now = detail::IdentityOf(handle_, path_);
  if (!now.ok()) return now.failure();
  if (PartLost() || now.value() != identity_) {
    return Failure{path_, "can't be read: it changed while it was being read"};
  }
  return {};
}

ReplacementFile::ReplacementFile(std::string target, std::string temporaryPath, intptr_t handle,
                                 Durability durability)
    : target_(std::move(target)),
      temporaryPath_(std::move(temporaryPath)),
      handle_(handle),
      durability_(durability) {}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporaryPath_(std::move(other.temporaryPath_)),
      handle_(std::exchange(other.handle_, -1)),
      durability_(other.durability_),
      written_(other.written_),
      reserved_(other.reserved_) {
  other.temporaryPath_.clear();
}

ReplacementFile::~ReplacementFile() { Discard(); }

}  // namespace acqsort
