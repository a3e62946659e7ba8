// The file system on Windows, on the wide-character Win32 functions. Paths go to Windows in
// their long form (\\?\C:\... or \\?\UNC\server\share\...), so that a deep working folder
// works past MAX_PATH; errors are given with their errno meaning (platform/system_error.h),
// so that the report reads as on other platforms.

#include <windows.h>
#include <aclapi.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>

#include "platform/file_system.h"
#include "platform/file_system_detail.h"
#include "platform/win32_calls.h"
#include "platform/windows_text.h"

namespace acqsort {

namespace {

HANDLE Win(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
intptr_t Handle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

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

// Only these mean that nothing is there. A share that went away (bad net path, network
// name deleted) or a device that is not ready is no absence: it has words of its own.
bool IsNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The error of a failed call given `native`: a name that is too long fails with different
// codes depending on the file system (an invalid name, or not found under Wine), and is
// then reported for what it is.
SystemError ErrorFor(DWORD error, const std::wstring& native = {}) {
  if ((IsNotFound(error) || error == ERROR_INVALID_NAME) && HasOverlongComponent(native)) {
    return SystemError::Of(ENAMETOOLONG);
  }
  return SystemError::FromSystem(error);
}

// The error of the call that just failed.
SystemError LastError() { return ErrorFor(GetLastError()); }

// Success when `succeeded`, else the error of the call.
SystemStatus StatusOf(BOOL succeeded) {
  if (succeeded) return {};
  return LastError();
}

// Virus scanners, the search indexer and cloud sync (OneDrive) open a fresh file for a
// moment, a large one for seconds, so a rename or a removal may fail with a sharing
// violation or access denied: such a failure is tried again, with pauses that double from
// 20 ms, for about ten seconds in all. `attempt` returns 0 or a system error code.
template <typename Attempt>
DWORD RetryWhileBusy(Attempt attempt) {
  constexpr DWORD kLongestWaitMilliseconds = 10000;
  DWORD pause = 20;
  for (DWORD waited = 0;; waited += pause, pause *= 2) {
    const DWORD error = attempt();
    const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                      error == ERROR_ACCESS_DENIED;
    if (!busy || waited >= kLongestWaitMilliseconds) return error;
    Sleep(pause);
  }
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = Win32().GetFileAttributesW(path.c_str());
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

// The path of `name` in `folder`, as Windows takes it.
std::wstring InFolder(const Folder& folder, const std::string& name) {
  return NativePath(folder.PathOf(name));
}

// Whether another program holds the file at `native` open, with any sharing: a file open in
// a viewer fails a replace with access denied, as a write-protected one does, and an open
// that shares nothing tells the two apart.
bool IsOpenElsewhere(const std::wstring& native) {
  const DWORD attributes = Win32().GetFileAttributesW(native.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
  HANDLE probe = Win32().CreateFileW(native.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    Win32().CloseHandle(probe);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

// FileDispositionInfoEx and its flags (Windows 10 1607 and later, the class numbered 21 in
// FILE_INFO_BY_HANDLE_CLASS). The headers declare them only for builds that need that
// version; this executable runs on Windows 7 too and finds out at run time.
const auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
struct DispositionEx {
  DWORD flags;
};
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionPosixSemantics = 0x2;

// 0 when `succeeded`, else the system's error code of the call that failed.
DWORD ErrorUnless(BOOL succeeded) { return succeeded ? DWORD{0} : GetLastError(); }

// Marks the open file for deletion through its handle: it goes when the last handle to it
// closes.
BOOL MarkForDeletion(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = TRUE;
  return Win32().SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
}

// FILE_ID_INFO (Windows 8 and later; FileIdInfo is class 18 of FILE_INFO_BY_HANDLE_CLASS),
// declared here since the headers give it only to builds that require Windows 8.
const auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
struct FileIdInformation {
  ULONGLONG volumeSerialNumber;
  BYTE fileId[16];
};

FileState StateFromInformation(const BY_HANDLE_FILE_INFORMATION& info) {
  FileState state;
  state.volume = info.dwVolumeSerialNumber;
  state.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  state.modified = static_cast<int64_t>((uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                           info.ftLastWriteTime.dwLowDateTime);
  state.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return state;
}

}  // namespace

namespace detail {

unsigned long ProcessId() { return GetCurrentProcessId(); }

void Close(intptr_t handle) { Win32().CloseHandle(Win(handle)); }

SystemResult<OpenedForReading> OpenForReading(const std::string& path) {
  std::wstring native = NativePath(path);
  // A folder can't be opened as a file (access denied): its kind is told instead.
  if (IsDirectory(native)) return OpenedForReading{-1, FileKind::kFolder};
  // Other programs may go on reading, writing and removing the file meanwhile.
  HANDLE handle = Win32().CreateFileW(native.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ErrorFor(GetLastError(), native);
  if (Win32().GetFileType(handle) != FILE_TYPE_DISK) {
    Win32().CloseHandle(handle);
    return OpenedForReading{-1, FileKind::kOther};
  }
  return OpenedForReading{Handle(handle), FileKind::kRegular};
}

SystemResult<size_t> ReadSome(intptr_t handle, char* buffer, size_t capacity) {
  DWORD read = 0;
  DWORD want = capacity > kLargestTransfer ? kLargestTransfer : static_cast<DWORD>(capacity);
  if (!Win32().ReadFile(Win(handle), buffer, want, &read, nullptr)) return LastError();
  return static_cast<size_t>(read);
}

uint64_t CurrentSize(intptr_t handle) {
  LARGE_INTEGER size;
  if (!Win32().GetFileSizeEx(Win(handle), &size) || size.QuadPart < 0) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

SystemResult<FileState> StateOf(intptr_t handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!Win32().GetFileInformationByHandle(Win(handle), &info)) return LastError();
  FileState state = StateFromInformation(info);
  // The 128-bit ID where the system gives it: ReFS's 64-bit one is not unique. Windows 7
  // refuses the class, and the 64-bit ID stays.
  FileIdInformation id;
  if (Win32().GetFileInformationByHandleEx(Win(handle), kFileIdInfo, &id, sizeof id)) {
    state.volume = id.volumeSerialNumber;
    std::memcpy(&state.index, id.fileId, 8);
    std::memcpy(&state.indexHigh, id.fileId + 8, 8);
  }
  return state;
}

SystemResult<FileState> StateAtPath(const std::string& path) {
  const std::wstring native = NativePath(path);
  // Attributes alone, sharing everything: no other program notices. The flag lets a folder
  // be opened too.
  HANDLE handle = Win32().CreateFileW(native.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ErrorFor(GetLastError(), native);
  SystemResult<FileState> state = StateOf(Handle(handle));
  Win32().CloseHandle(handle);
  return state;
}

SystemResult<Mapping> MapForReading(intptr_t handle, size_t size) {
  if (guardedBase.load() != nullptr) return SystemError::Of(EBUSY);
  HANDLE mapping = Win32().CreateFileMappingW(Win(handle), nullptr, PAGE_READONLY, 0, 0, nullptr);
  const void* base = mapping == nullptr ? nullptr : Win32().MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size);
  if (base == nullptr) {
    const SystemError error = LastError();
    if (mapping != nullptr) Win32().CloseHandle(mapping);
    return error;
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
  Win32().CloseHandle(Win(object));
}

SystemResult<intptr_t> OpenFolder(const std::string& path) {
  const std::wstring native = NativePath(path.empty() ? "." : path);
  const DWORD attributes = Win32().GetFileAttributesW(native.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ErrorFor(GetLastError(), native);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return SystemError::Of(ENOTDIR);
  // Windows names files by path alone: the folder's path is all there is to keep.
  return intptr_t{-1};
}

void CloseFolder(intptr_t) {}

SystemResult<Existing> LookUp(const Folder& folder, const std::string& name) {
  Existing existing;
  existing.name = name;
  const std::wstring native = InFolder(folder, name);
  const DWORD attributes = Win32().GetFileAttributesW(native.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (IsNotFound(error) && !HasOverlongComponent(native)) return existing;
    return ErrorFor(error, native);
  }
  existing.found = true;
  existing.attributes = attributes;
  existing.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  existing.regular = !existing.folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  existing.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  // The read-only attribute: MoveFileExW would refuse such a file only at the very end.
  existing.readOnly = !existing.folder && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (existing.readOnly) existing.writeError = SystemError::Of(EACCES);
  return existing;
}

SystemResult<intptr_t> CreateNew(const Folder& folder, const std::string& name, const Existing& replaced) {
  const std::wstring native = InFolder(folder, name);
  // What Windows keeps about the file it replaces, as the POSIX build keeps the mode: its
  // hidden, system, not-indexed and archive attributes, and its own access rights, from the creation
  // on. The rights are those of its security descriptor's DACL; where they can't be read,
  // the file gets what the folder gives every new file.
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (replaced.found && replaced.regular) {
    const DWORD kept = replaced.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_ARCHIVE);
    if (kept != 0) attributes = kept;
    const std::wstring old = InFolder(folder, replaced.name);
    if (Win32().GetNamedSecurityInfoW(old.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              nullptr, nullptr, &descriptor) == ERROR_SUCCESS) {
      security.lpSecurityDescriptor = descriptor;
    }
  }
  // DELETE, so that the file is renamed into place and discarded through this handle.
  // Sharing deletion: an interrupt can remove the file by its name while this handle is open
  // (platform/process.h).
  HANDLE created = Win32().CreateFileW(native.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               &security, CREATE_NEW, attributes, nullptr);
  const DWORD error = created == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (descriptor != nullptr) LocalFree(descriptor);
  if (created == INVALID_HANDLE_VALUE) return ErrorFor(error, native);
  return Handle(created);
}

SystemStatus WriteAll(intptr_t handle, const char* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = size > kLargestTransfer ? kLargestTransfer : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!Win32().WriteFile(Win(handle), data, chunk, &written, nullptr)) return LastError();
    if (written == 0) return SystemError::Of(ENOSPC);
    data += written;
    size -= written;
  }
  return {};
}

// Windows has no request to start the writeback of buffered writes; its lazy writer and the
// flush in SyncData() do.
void StartWriteback(intptr_t) {}

SystemStatus SyncData(intptr_t handle) { return StatusOf(Win32().FlushFileBuffers(Win(handle))); }

SystemStatus CloseWritten(intptr_t handle) { return StatusOf(Win32().CloseHandle(Win(handle))); }

SystemStatus Rename(const Folder& folder, const std::string& from, const std::string& to, bool replace) {
  const std::wstring nativeFrom = InFolder(folder, from);
  const std::wstring nativeTo = InFolder(folder, to);
  // Without MOVEFILE_REPLACE_EXISTING an existing `to` fails the move (ERROR_ALREADY_EXISTS).
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  const DWORD error = RetryWhileBusy([&] {
    return ErrorUnless(Win32().MoveFileExW(nativeFrom.c_str(), nativeTo.c_str(), flags));
  });
  if (error == 0) return {};
  if (error == ERROR_ACCESS_DENIED && replace && IsOpenElsewhere(nativeTo)) return SystemError::Of(EBUSY);
  return ErrorFor(error, nativeTo);
}

SystemStatus RenameWritten(const Folder& folder, intptr_t handle, const std::string&, const std::string& to) {
  // Through the handle: whatever another program does with the temporary name (a scanner
  // that opened it) the file renamed is the one written. The full path of the target, as
  // FILE_RENAME_INFO takes it; the structure ends in the name.
  const std::wstring native = InFolder(folder, to);
  const size_t bytes = native.size() * sizeof(wchar_t);
  std::string buffer(offsetof(FILE_RENAME_INFO, FileName) + bytes + sizeof(wchar_t), '\0');
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(bytes);
  std::memcpy(rename->FileName, native.c_str(), bytes);
  const DWORD error = RetryWhileBusy([&] {
    return ErrorUnless(Win32().SetFileInformationByHandle(Win(handle), FileRenameInfo, rename,
                                                  static_cast<DWORD>(buffer.size())));
  });
  if (error == 0) return {};
  if (error == ERROR_ACCESS_DENIED && IsOpenElsewhere(native)) return SystemError::Of(EBUSY);
  return ErrorFor(error, native);
}

SystemStatus SyncRename(const Folder&, intptr_t handle, const std::string&) {
  // A rename within one volume is written through only by a flush of the renamed file,
  // which commits the volume's metadata, the new name with it: the handle that wrote it.
  return StatusOf(Win32().FlushFileBuffers(Win(handle)));
}

void DiscardWritten(const Folder& folder, intptr_t handle, const std::string& name) {
  // Through the handle, which a scanner that holds the file sharing deletion can't refuse:
  // the file goes when the last handle closes. By name only where that fails.
  const bool marked = handle != -1 && MarkForDeletion(Win(handle));
  if (handle != -1) Win32().CloseHandle(Win(handle));
  if (!marked) {
    const std::wstring native = InFolder(folder, name);
    (void)RetryWhileBusy([&] {
      const DWORD error = ErrorUnless(Win32().DeleteFileW(native.c_str()));
      return error == ERROR_FILE_NOT_FOUND ? DWORD{0} : error;
    });
  }
}

const bool kRenamesAsideForRemoval = false;

namespace {

// Opens `name` for its removal, sharing only `sharing` with other programs; a symbolic link
// or junction is held itself, never the file it points to.
SystemResult<intptr_t> Hold(const Folder& folder, const std::string& name, DWORD sharing) {
  const std::wstring native = InFolder(folder, name);
  HANDLE held = INVALID_HANDLE_VALUE;
  const DWORD error = RetryWhileBusy([&] {
    held = Win32().CreateFileW(native.c_str(), DELETE | FILE_READ_ATTRIBUTES, sharing, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return held == INVALID_HANDLE_VALUE ? GetLastError() : DWORD{0};
  });
  if (error != 0) return ErrorFor(error, native);
  return Handle(held);
}

// Whether a removal through a handle was refused because the system does not offer it, as
// opposed to the file: Windows before 10 1607, file systems other than NTFS, Wine.
bool Unsupported(DWORD error) {
  return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
         error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

SystemResult<intptr_t> HoldForRemoval(const Folder& folder, const std::string& name) {
  // Sharing reading only: the open fails while another program has the file open for
  // writing (or without sharing its removal), and no program can start writing to it,
  // rename over it or remove it meanwhile.
  return Hold(folder, name, FILE_SHARE_READ);
}

SystemResult<FileState> StateOfHeld(const Folder& folder, const std::string& name, intptr_t handle) {
  FILE_BASIC_INFO basic;
  if (!Win32().GetFileInformationByHandleEx(Win(handle), FileBasicInfo, &basic, sizeof basic)) {
    return LastError();
  }
  // A link was read through: it is compared by the file it points to.
  if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return StateAtPath(folder.PathOf(name));
  }
  return StateOf(handle);
}

SystemStatus RemoveHeld(const Folder&, const std::string&, intptr_t handle) {
  // The POSIX semantics take the name away at once, even while a reader that shares deletion
  // (a previewer, a tail viewer) still has the file open: the logger can create the part
  // anew meanwhile. Windows 10 1607 and later accept them on NTFS.
  DispositionEx posix{kDispositionDelete | kDispositionPosixSemantics};
  if (Win32().SetFileInformationByHandle(Win(handle), kFileDispositionInfoEx, &posix, sizeof posix)) return {};
  const DWORD error = GetLastError();
  if (Unsupported(error)) return SystemError::Of(ENOTSUP);
  // STATUS_CANNOT_DELETE: read-only (looked at before) or mapped by another program.
  if (error == ERROR_ACCESS_DENIED) return SystemError::Of(EBUSY);
  return ErrorFor(error);
}

SystemResult<intptr_t> HoldAlone(const Folder& folder, const std::string& name) {
  // The classic removal happens only when the last handle closes, and until then the file
  // lingers "delete pending": it is removed only while no other program has it open, which
  // an open that shares nothing tells.
  return Hold(folder, name, 0);
}

SystemStatus RemoveAlone(intptr_t handle) {
  const DWORD error = ErrorUnless(MarkForDeletion(Win(handle)));
  if (error == 0) return {};
  if (error == ERROR_ACCESS_DENIED) return SystemError::Of(EBUSY);  // mapped by another program
  return ErrorFor(error);
}

void ReleaseHeld(intptr_t handle) {
  if (handle != -1) Win32().CloseHandle(Win(handle));
}

}  // namespace detail


}  // namespace acqsort
