// The file system on Windows: paths keep their backslashes and go to the wide-character
// functions; errors are given the C runtime's texts, so that the report reads the same as
// on other platforms.

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <share.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <climits>
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

// Names are UTF-8 where they are valid UTF-8, and in the system's code page otherwise.
std::wstring NativePath(const std::string& path) {
  if (path.empty()) return std::wstring();
  int size = static_cast<int>(path.size());
  UINT codePage = CP_UTF8;
  int wideSize = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
  if (wideSize == 0) {
    codePage = CP_ACP;
    wideSize = MultiByteToWideChar(codePage, 0, path.data(), size, nullptr, 0);
  }
  std::wstring wide(static_cast<size_t>(wideSize), L'\0');
  MultiByteToWideChar(codePage, codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, path.data(), size,
                      wide.data(), wideSize);
  return wide;
}

// The errno value that the C runtime would give for a system error code.
int ErrnoFromSystemError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EACCES;
  }
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}


// _read and _write take at most INT_MAX bytes at a time.
constexpr size_t kLargestTransfer = size_t{1} << 30;

}  // namespace

namespace detail {

int OpenForReading(const std::string& path) {
  std::wstring native = NativePath(path);
  // A folder is no data file; say so in the same words as elsewhere.
  if (IsDirectory(native)) {
    errno = EISDIR;
    return -1;
  }
  int handle = -1;
  errno = _wsopen_s(&handle, native.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                    _S_IREAD);
  return errno == 0 ? handle : -1;
}

}  // namespace detail

Result<std::string> ReadWholeFile(const std::string& path) {
  int handle = OpenForReading(path);
  if (handle < 0) return Failure{path, Reason("can't be opened", errno)};
  std::string content;
  long long size = _filelengthi64(handle);
  if (size > 0) content.resize(static_cast<size_t>(size));
  size_t filled = 0;
  char probe[65536];
  for (;;) {
    // Read into the space the file length promised; past it, through a small probe, so
    // that a file of the promised size costs no extra memory.
    bool full = filled == content.size();
    size_t want = full ? sizeof probe : content.size() - filled;
    if (want > kLargestTransfer) want = kLargestTransfer;
    int n = _read(handle, full ? probe : &content[filled], static_cast<unsigned>(want));
    if (n < 0) {
      int error = errno;
      _close(handle);
      return Failure{path, Reason("can't be read", error)};
    }
    if (n == 0) break;
    if (full) content.append(probe, static_cast<size_t>(n));
    filled += static_cast<size_t>(n);
  }
  _close(handle);
  content.resize(filled);
  return content;
}

InputFile::~InputFile() {
  if (handle_ >= 0) _close(handle_);
}

Result<size_t> InputFile::Read(char* buffer, size_t capacity) {
  if (capacity > kLargestTransfer) capacity = kLargestTransfer;
  int n = _read(handle_, buffer, static_cast<unsigned>(capacity));
  if (n < 0) return Failure{path_, Reason("can't be read", errno)};
  return static_cast<size_t>(n);
}

Result<ReplacementFile> ReplacementFile::Create(const std::string& target) {
  // The process id keeps concurrent runs apart, the counter keeps files of one run apart.
  // A name left behind by a killed run whose id came back is skipped, not failed on.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0;; ++attempt) {
    std::string temporaryPath = target + "." + std::to_string(_getpid()) + "-" +
                                std::to_string(counter++) + kTemporarySuffix;
    int handle = -1;
    int error = _wsopen_s(&handle, NativePath(temporaryPath).c_str(),
                          _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                          _S_IREAD | _S_IWRITE);
    if (error == 0) return ReplacementFile(target, std::move(temporaryPath), handle);
    if (error != EEXIST || attempt == kTemporaryNameAttempts) {
      return Failure{target, Reason("can't be created", error)};
    }
  }
}

void ReplacementFile::Discard() {
  if (handle_ >= 0) _close(handle_);
  handle_ = -1;
  if (!temporaryPath_.empty()) _wremove(NativePath(temporaryPath_).c_str());
  temporaryPath_.clear();
}

Outcome ReplacementFile::Write(const char* data, size_t size) {
  if (handle_ < 0) return Failure{target_, "can't be written: the file is closed"};
  while (size > 0) {
    size_t chunk = size < kLargestTransfer ? size : kLargestTransfer;
    int n = _write(handle_, data, static_cast<unsigned>(chunk));
    if (n <= 0) {
      int error = n < 0 ? errno : ENOSPC;
      Discard();
      return Failure{target_, Reason("can't be written", error)};
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return {};
}

Outcome ReplacementFile::Commit(Durability durability) {
  if (handle_ < 0) return Failure{target_, "can't be written: the file is closed"};
  if (durability == Durability::kStableFirst && _commit(handle_) != 0) {
    int error = errno;
    Discard();
    return Failure{target_, Reason("can't be written to disk", error)};
  }
  int handle = std::exchange(handle_, -1);
  if (_close(handle) != 0) {
    int error = errno;
    Discard();
    return Failure{target_, Reason("can't be written", error)};
  }
  std::wstring nativeTarget = NativePath(target_);
  if (IsDirectory(nativeTarget)) {
    Discard();
    return Failure{target_, Reason("can't be replaced", EISDIR)};
  }
  // Write-through: the call returns only once the rename itself is on disk.
  if (!MoveFileExW(NativePath(temporaryPath_).c_str(), nativeTarget.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    int error = ErrnoFromSystemError(GetLastError());
    Discard();
    return Failure{target_, Reason("can't be replaced", error)};
  }
  temporaryPath_.clear();
  return {};
}

bool PathExists(const std::string& path) { return _waccess(NativePath(path).c_str(), 0) == 0; }

Outcome RemovePath(const std::string& path) {
  if (_wremove(NativePath(path).c_str()) != 0) return Failure{path, Reason("can't be removed", errno)};
  return {};
}

}  // namespace acqsort
