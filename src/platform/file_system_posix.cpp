// The file system on POSIX platforms: backslashes become slashes, and errors come from errno.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "platform/file_system.h"
#include "platform/file_system_detail.h"

namespace acqsort {

using detail::OpenForReading;
using detail::Reason;

const char* const kTemporarySuffix = ".acqsort-tmp";

namespace {

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

// Reads are retried on EINTR, and a short write is continued.
ssize_t ReadSome(int handle, char* buffer, size_t capacity) {
  ssize_t n;
  do {
    n = ::read(handle, buffer, capacity);
  } while (n < 0 && errno == EINTR);
  return n;
}

bool WriteAll(int handle, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(handle, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}


std::string DirectoryOf(const std::string& nativePath) {
  size_t slash = nativePath.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return nativePath.substr(0, slash);
}

}  // namespace

namespace detail {

int OpenForReading(const std::string& path) {
  int handle;
  do {
    handle = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  } while (handle < 0 && errno == EINTR);
  if (handle < 0) return -1;
  // A directory opens fine on POSIX but is no data file.
  struct stat info;
  if (::fstat(handle, &info) != 0) {
    int error = errno;
    ::close(handle);
    errno = error;
    return -1;
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(handle);
    errno = EISDIR;
    return -1;
  }
  return handle;
}

}  // namespace detail

Result<std::string> ReadWholeFile(const std::string& path) {
  int handle = OpenForReading(path);
  if (handle < 0) return Failure{path, Reason("can't be opened", errno)};
  struct stat info;
  std::string content;
  if (::fstat(handle, &info) == 0 && info.st_size > 0) {
    content.resize(static_cast<size_t>(info.st_size));
  }
  size_t filled = 0;
  char probe[65536];
  for (;;) {
    // Read into the space fstat promised; past it, through a small probe, so that a file
    // of the promised size costs no extra memory.
    bool full = filled == content.size();
    ssize_t n = full ? ReadSome(handle, probe, sizeof probe)
                     : ReadSome(handle, &content[filled], content.size() - filled);
    if (n < 0) {
      int error = errno;
      ::close(handle);
      return Failure{path, Reason("can't be read", error)};
    }
    if (n == 0) break;
    if (full) content.append(probe, static_cast<size_t>(n));
    filled += static_cast<size_t>(n);
  }
  ::close(handle);
  content.resize(filled);
  return content;
}

InputFile::~InputFile() {
  if (handle_ >= 0) ::close(handle_);
}

Result<size_t> InputFile::Read(char* buffer, size_t capacity) {
  ssize_t n = ReadSome(handle_, buffer, capacity);
  if (n < 0) return Failure{path_, Reason("can't be read", errno)};
  return static_cast<size_t>(n);
}

Result<ReplacementFile> ReplacementFile::Create(const std::string& target) {
  // The process id keeps concurrent runs apart, the counter keeps files of one run apart.
  // A name left behind by a killed run whose id came back is skipped, not failed on.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0;; ++attempt) {
    std::string temporaryPath = NativePath(target) + "." + std::to_string(::getpid()) + "-" +
                                std::to_string(counter++) + kTemporarySuffix;
    int handle;
    do {
      handle = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (handle < 0 && errno == EINTR);
    if (handle >= 0) return ReplacementFile(target, std::move(temporaryPath), handle);
    if (errno != EEXIST || attempt == kTemporaryNameAttempts) {
      return Failure{target, Reason("can't be created", errno)};
    }
  }
}

void ReplacementFile::Discard() {
  if (handle_ >= 0) ::close(handle_);
  handle_ = -1;
  if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
  temporaryPath_.clear();
}

Outcome ReplacementFile::Write(const char* data, size_t size) {
  if (handle_ < 0) return Failure{target_, "can't be written: the file is closed"};
  if (!WriteAll(handle_, data, size)) {
    int error = errno;
    Discard();
    return Failure{target_, Reason("can't be written", error)};
  }
  return {};
}

Outcome ReplacementFile::Commit(Durability durability) {
  if (handle_ < 0) return Failure{target_, "can't be written: the file is closed"};
  if (durability == Durability::kStableFirst && ::fsync(handle_) != 0) {
    int error = errno;
    Discard();
    return Failure{target_, Reason("can't be written to disk", error)};
  }
  int handle = std::exchange(handle_, -1);
  if (::close(handle) != 0) {
    int error = errno;
    Discard();
    return Failure{target_, Reason("can't be written", error)};
  }
  std::string nativeTarget = NativePath(target_);
  if (::rename(temporaryPath_.c_str(), nativeTarget.c_str()) != 0) {
    int error = errno;
    Discard();
    return Failure{target_, Reason("can't be replaced", error)};
  }
  temporaryPath_.clear();
  if (durability == Durability::kStableFirst) {
    // The rename itself lives in the directory: sync it so that the new name survives too.
    int directory = ::open(DirectoryOf(nativeTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) return Failure{target_, Reason("can't be written to disk", errno)};
    int synced = ::fsync(directory);
    int error = errno;
    ::close(directory);
    if (synced != 0) return Failure{target_, Reason("can't be written to disk", error)};
  }
  return {};
}

bool PathExists(const std::string& path) { return ::access(NativePath(path).c_str(), F_OK) == 0; }

Outcome RemovePath(const std::string& path) {
  if (::remove(NativePath(path).c_str()) != 0) return Failure{path, Reason("can't be removed", errno)};
  return {};
}

}  // namespace acqsort
