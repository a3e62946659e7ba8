// The file system on Windows, on the wide-character Win32 functions. Paths go to Windows in
// their long form (\\?\C:\... or \\?\UNC\server\share\...), so that a deep working folder
// works past MAX_PATH; errors are given the C runtime's texts, so that the report reads as
// on other platforms, except for a file that another program holds open.

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <utility>

#include "platform/file_system.h"
#include "platform/file_system_detail.h"
#include "platform/windows_text.h"

namespace acqsort {

namespace {

HANDLE Win(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
intptr_t Handle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

std::wstring NativePath(const std::string& path) {
  std::wstring wide = WideFromNarrow(path);
  if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  if (full.rfind(L"\\\\.\\", 0) == 0) return full;  // a device: no long form
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool IsInUse(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// The errno value that the C runtime would give for a system error code.
int ErrnoFromSystemError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
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

// Whether a component of `native` is longer than the 255 UTF-16 units that Windows' file
// systems allow.
bool HasOverlongComponent(const std::wstring& native) {
  size_t start = 0;
  for (size_t i = 0; i <= native.size(); ++i) {
    if (i == native.size() || native[i] == L'\\') {
      if (i - start > 255) return true;
      start = i + 1;
    }
  }
  return false;
}

// `native`, when given, is the path the failed call was given: a name that is too long
// fails with different codes depending on the file system (and as not found under Wine),
// and is then reported for what it is.
std::string SystemReason(const char* what, DWORD error, const std::wstring& native = {}) {
  if (IsInUse(error)) return std::string(what) + ": in use by another program";
  const bool unnamed = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                       error == ERROR_INVALID_NAME;
  if (unnamed && HasOverlongComponent(native)) return Reason(what, ENAMETOOLONG);
  return Reason(what, ErrnoFromSystemError(error));
}

// Virus scanners and the search indexer open a fresh file for a moment, so a rename or a
// removal may fail once with a sharing violation or access denied: such a failure is
// tried again for about a second in all. `attempt` returns 0 or a system error code.
template <typename Attempt>
DWORD RetryWhileBusy(Attempt attempt) {
  constexpr int kRetries = 20;
  constexpr DWORD kPauseMilliseconds = 50;
  for (int retry = 0;; ++retry) {
    const DWORD error = attempt();
    const bool busy = IsInUse(error) || error == ERROR_ACCESS_DENIED;
    if (!busy || retry == kRetries) return error;
    Sleep(kPauseMilliseconds);
  }
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The one mapped file that an in-page error may hit. Windows refuses to truncate a file
// while a view of it is mapped, but a file on a network share can still fail to page in;
// the handler then puts zero pages in place of the whole view, notes that the mapping is
// lost, and lets the reader go on.
std::atomic<const char*> guardedBase{nullptr};
std::atomic<size_t> guardedSize{0};
std::atomic<bool> guardedLost{false};

LONG CALLBACK OnInPageError(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD* record = exception->ExceptionRecord;
  // As Microsoft's documentation asks: only an in-page error at an address of this mapping.
  if (record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR || record->NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const char* base = guardedBase.load();
  const char* address = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
  if (base == nullptr || address < base || address >= base + guardedSize.load()) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  void* where = const_cast<char*>(base);
  if (!UnmapViewOfFile(where) ||
      VirtualAlloc(where, guardedSize.load(), MEM_RESERVE | MEM_COMMIT, PAGE_READONLY) != where) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  guardedLost.store(true);
  return EXCEPTION_CONTINUE_EXECUTION;
}

void GuardAgainstInPageErrors() {
  static const bool installed = AddVectoredExceptionHandler(1, OnInPageError) != nullptr;
  (void)installed;
}

// Reads and writes take at most this many bytes at a time.
constexpr DWORD kLargestTransfer = DWORD{1} << 30;

// Sets how much room the file system keeps for the file; below its end it would cut it.
bool SetAllocation(HANDLE handle, uint64_t bytes) {
  FILE_ALLOCATION_INFO allocation{};
  allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(bytes);
  return SetFileInformationByHandle(handle, FileAllocationInfo, &allocation, sizeof allocation) != 0;
}

}  // namespace

namespace detail {

unsigned long ProcessId() { return GetCurrentProcessId(); }

void Close(intptr_t handle) { CloseHandle(Win(handle)); }

Result<intptr_t> OpenRegularForReading(const std::string& path) {
  std::wstring native = NativePath(path);
  // A folder is no data file; say so in the same words as elsewhere.
  if (IsDirectory(native)) return Failure{path, Reason("can't be opened", EISDIR)};
  // Other programs may go on reading, writing and removing the file meanwhile.
  HANDLE handle = CreateFileW(native.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return Failure{path, SystemReason("can't be opened", GetLastError(), native)};
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return Failure{path, NotARegularFileReason("can't be opened")};
  }
  return Handle(handle);
}

Result<size_t> ReadSome(intptr_t handle, const std::string& path, char* buffer, size_t capacity) {
  DWORD read = 0;
  DWORD want = capacity > kLargestTransfer ? kLargestTransfer : static_cast<DWORD>(capacity);
  if (!ReadFile(Win(handle), buffer, want, &read, nullptr)) {
    return Failure{path, SystemReason("can't be read", GetLastError())};
  }
  return static_cast<size_t>(read);
}

uint64_t CurrentSize(intptr_t handle) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Win(handle), &size) || size.QuadPart < 0) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

Result<FileIdentity> IdentityOf(intptr_t handle, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(Win(handle), &info)) {
    return Failure{path, SystemReason("can't be read", GetLastError())};
  }
  FileIdentity identity;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  identity.modified = static_cast<int64_t>((uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                           info.ftLastWriteTime.dwLowDateTime);
  identity.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return identity;
}

Result<Mapping> MapForReading(intptr_t handle, size_t size, const std::string& path) {
  if (guardedBase.load() != nullptr) return Failure{path, "can't be read: another file is mapped already"};
  HANDLE mapping = CreateFileMappingW(Win(handle), nullptr, PAGE_READONLY, 0, 0, nullptr);
  const void* base = mapping == nullptr ? nullptr : MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size);
  if (base == nullptr) {
    DWORD error = GetLastError();
    if (mapping != nullptr) CloseHandle(mapping);
    return Failure{path, SystemReason("can't be read", error)};
  }
  GuardAgainstInPageErrors();
  guardedLost.store(false);
  guardedSize.store(size);
  guardedBase.store(static_cast<const char*>(base));
  return Mapping{static_cast<const char*>(base), Handle(mapping), &guardedLost};
}

void Unmap(const char* base, size_t, intptr_t object) {
  void* view = const_cast<char*>(base);
  // A view that the guard replaced is plain memory now.
  if (guardedBase.load() == base && guardedLost.load()) {
    VirtualFree(view, 0, MEM_RELEASE);
  } else {
    UnmapViewOfFile(view);
  }
  guardedBase.store(nullptr);
  CloseHandle(Win(object));
}

}  // namespace detail

Result<ReplacementFile> ReplacementFile::Create(const std::string& target,
                                                Durability durability) {
  // A read-only file is not replaced behind its owner's back; MoveFileExW would refuse it
  // only at the very end.
  DWORD attributes = GetFileAttributesW(NativePath(target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Failure{target, Reason("can't be replaced", EACCES)};
  }
  // The process id keeps concurrent runs apart, the counter keeps files of one run apart.
  // A name left behind by a killed run whose id came back is skipped, not failed on.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0;; ++attempt) {
    std::string temporaryPath = detail::TemporaryPathFor(target, counter++);
    const std::wstring nativeTemporary = NativePath(temporaryPath);
    HANDLE handle = CreateFileW(nativeTemporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      return ReplacementFile(target, std::move(temporaryPath), Handle(handle), durability);
    }
    DWORD error = GetLastError();
    bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    if (!taken || attempt == kTemporaryNameAttempts) {
      return Failure{target, SystemReason("can't be created", error, nativeTemporary)};
    }
  }
}

void ReplacementFile::Discard() {
  if (handle_ != -1) CloseHandle(Win(handle_));
  handle_ = -1;
  if (!temporaryPath_.empty()) DeleteFileW(NativePath(temporaryPath_).c_str());
  temporaryPath_.clear();
}

void ReplacementFile::Reserve(uint64_t bytes) {
  if (handle_ == -1 || bytes <= written_) return;
  // A refusal (a file system without it, a full disk) leaves the writes to find their room
  // themselves.
  if (SetAllocation(Win(handle_), bytes)) reserved_ = bytes;
}

Outcome ReplacementFile::Write(const char* data, size_t size) {
  if (handle_ == -1) return Failure{target_, "can't be written: the file is closed"};
  written_ += size;
  while (size > 0) {
    DWORD chunk = size > kLargestTransfer ? kLargestTransfer : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(Win(handle_), data, chunk, &written, nullptr) || written == 0) {
      DWORD error = written == 0 && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError();
      Discard();
      return Failure{target_, SystemReason("can't be written", error)};
    }
    data += written;
    size -= written;
  }
  return {};
}

Outcome ReplacementFile::Commit() {
  if (handle_ == -1) return Failure{target_, "can't be written: the file is closed"};
  // An allocation as large as the file gives back the room reserved beyond its end. Only
  // room is at stake, not content, so a refusal does not fail the file.
  if (reserved_ > written_) (void)SetAllocation(Win(handle_), written_);
  if (durability_ == Durability::kStableFirst && !FlushFileBuffers(Win(handle_))) {
    DWORD error = GetLastError();
    Discard();
    return Failure{target_, SystemReason("can't be written to disk", error)};
  }
  if (!CloseHandle(Win(std::exchange(handle_, -1)))) {
    DWORD error = GetLastError();
    Discard();
    return Failure{target_, SystemReason("can't be written", error)};
  }
  const std::wstring nativeTarget = NativePath(target_);
  if (IsDirectory(nativeTarget)) {
    Discard();
    return Failure{target_, Reason("can't be replaced", EISDIR)};
  }
  const std::wstring nativeTemporary = NativePath(temporaryPath_);
  DWORD error = RetryWhileBusy([&] {
    return MoveFileExW(nativeTemporary.c_str(), nativeTarget.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? DWORD{0}
               : GetLastError();
  });
  if (error != 0) {
    Discard();
    return Failure{target_, SystemReason("can't be replaced", error, nativeTarget)};
  }
  temporaryPath_.clear();
  if (durability_ == Durability::kStableFirst) {
    // MOVEFILE_WRITE_THROUGH flushes only a move done as a copy and a delete, not a rename
    // within one volume: flushing the renamed file commits the volume's metadata, the new
    // name with it, before anything may rely on it.
    HANDLE renamed = INVALID_HANDLE_VALUE;
    error = RetryWhileBusy([&] {
      renamed = CreateFileW(nativeTarget.c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      return renamed == INVALID_HANDLE_VALUE ? GetLastError() : DWORD{0};
    });
    if (error == 0 && !FlushFileBuffers(renamed)) error = GetLastError();
    if (renamed != INVALID_HANDLE_VALUE) CloseHandle(renamed);
    if (error != 0) return Failure{target_, SystemReason("can't be written to disk", error)};
  }
  return {};
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(NativePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Removal RemoveFileIfUnchanged(const std::string& path, const FileIdentity& expected) {
  const std::wstring native = NativePath(path);
  // Sharing reading only: the open fails while another program has the file open for
  // writing (or without sharing its removal), so a part that a logger still appends to is
  // never removed under it.
  HANDLE handle = INVALID_HANDLE_VALUE;
  DWORD error = RetryWhileBusy([&] {
    handle = CreateFileW(native.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? GetLastError() : DWORD{0};
  });
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Removal::kAbsent;
  if (error != 0) return PathExists(path) ? Removal::kKept : Removal::kAbsent;

  Result<FileIdentity> identity = detail::IdentityOf(Handle(handle), path);
  if (!identity.ok() || identity.value() != expected) {
    CloseHandle(handle);
    return Removal::kKept;
  }
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = TRUE;
  error = RetryWhileBusy([&] {
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)
               ? DWORD{0}
               : GetLastError();
  });
  CloseHandle(handle);
  if (error != 0) return Removal::kKept;
  // The file goes when the last handle to it closes; until then Windows reports it as
  // pending deletion, which no longer counts as existing.
  return PathExists(path) ? Removal::kKept : Removal::kRemoved;
}

}  // namespace acqsort
