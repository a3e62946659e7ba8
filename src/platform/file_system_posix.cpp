// The file system on POSIX platforms: backslashes become slashes, and errors come from errno.

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "platform/file_system.h"
#include "platform/file_system_detail.h"
#include "platform/posix_write.h"

namespace acqsort {

namespace {

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

int Fd(intptr_t handle) { return static_cast<int>(handle); }

// The error of the system call that just failed.
SystemError LastError() { return SystemError::FromSystem(static_cast<unsigned long>(errno)); }

// Success when `result` is 0, else the error of the call that gave it.
SystemStatus StatusOf(int result) {
  if (result == 0) return {};
  return LastError();
}

// No call here is retried on EINTR: no handler of this tool returns into an interrupted
// call. The interrupt handlers end the process (platform/process.h), the bus-error handler
// runs only on a read of mapped memory, and the signals that could otherwise interrupt a
// call (SIGPIPE, SIGXFSZ, SIGIO) are ignored, which makes the system restart nothing and
// interrupt nothing.

FileState StateFromStat(const struct stat& info) {
  FileState state;
  state.volume = static_cast<uint64_t>(info.st_dev);
  state.index = static_cast<uint64_t>(info.st_ino);
  state.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  state.size = static_cast<uint64_t>(info.st_size);
  return state;
}

// The one mapped file that a bus error may hit: when another program truncates a mapped
// file, reading past its new end raises SIGBUS. The handler then puts zero pages in place
// of the vanished ones, notes that the mapping is lost, and lets the reader go on.
std::atomic<const char*> guardedBase{nullptr};
std::atomic<size_t> guardedSize{0};
std::atomic<bool> guardedLost{false};
uintptr_t pageSize = 4096;
struct sigaction previousBusAction;

void OnBusError(int, siginfo_t* info, void*) {
  const uintptr_t base = reinterpret_cast<uintptr_t>(guardedBase.load());
  const uintptr_t end = base + guardedSize.load();
  const uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
  if (base != 0 && address >= base && address < end) {
    const uintptr_t page = address & ~(pageSize - 1);
    const uintptr_t pagesEnd = (end + pageSize - 1) & ~(pageSize - 1);
    void* zeros = ::mmap(reinterpret_cast<void*>(page), pagesEnd - page, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros != MAP_FAILED) {
      guardedLost.store(true);
      return;
    }
  }
  // Not a fault of the guarded mapping: as if this handler had never been installed.
  ::sigaction(SIGBUS, &previousBusAction, nullptr);
}

void GuardAgainstBusErrors() {
  static const bool installed = [] {
    pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, &previousBusAction) == 0;
  }();
  (void)installed;
}

}  // namespace

namespace detail {

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

void Close(intptr_t handle) { ::close(Fd(handle)); }

SystemResult<OpenedForReading> OpenForReading(const std::string& path) {
  // O_NONBLOCK: opening a FIFO without a writer would otherwise wait forever.
  const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return LastError();
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    const SystemError error = LastError();
    ::close(fd);
    return error;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return OpenedForReading{-1, S_ISDIR(info.st_mode) ? FileKind::kFolder : FileKind::kOther};
  }
  // A regular file never blocks; reads go on as usual.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const SystemError error = LastError();
    ::close(fd);
    return error;
  }
  return OpenedForReading{fd, FileKind::kRegular};
}

SystemResult<size_t> ReadSome(intptr_t handle, char* buffer, size_t capacity) {
  const ssize_t n = ::read(Fd(handle), buffer, capacity);
  if (n < 0) return LastError();
  return static_cast<size_t>(n);
}

uint64_t CurrentSize(intptr_t handle) {
  struct stat info;
  if (::fstat(Fd(handle), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<uint64_t>(info.st_size);
}

SystemResult<FileState> StateOf(intptr_t handle) {
  struct stat info;
  if (::fstat(Fd(handle), &info) != 0) return LastError();
  return StateFromStat(info);
}

SystemResult<FileState> StateAtPath(const std::string& path) {
  struct stat info;
  if (::stat(NativePath(path).c_str(), &info) != 0) return LastError();
  return StateFromStat(info);
}

SystemResult<Mapping> MapForReading(intptr_t handle, size_t size) {
  if (guardedBase.load() != nullptr) return SystemError::Of(EBUSY);
  // All pages at once: the reading that follows meets no page faults.
  void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, Fd(handle), 0);
  if (base == MAP_FAILED) return LastError();
  GuardAgainstBusErrors();
  guardedLost.store(false);
  guardedSize.store(size);
  guardedBase.store(static_cast<const char*>(base));
  return Mapping{static_cast<const char*>(base), -1, &guardedLost};
}

void Unmap(const char* base, size_t size, intptr_t) {
  guardedBase.store(nullptr);
  ::munmap(const_cast<char*>(base), size);
}

SystemResult<intptr_t> OpenFolder(const std::string& path) {
  const std::string native = path.empty() ? "." : NativePath(path);
  const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  return intptr_t{fd};
}

void CloseFolder(intptr_t handle) { ::close(Fd(handle)); }

SystemResult<Existing> LookUp(const Folder& folder, const std::string& name) {
  struct stat info;
  Existing existing;
  existing.name = name;
  if (::fstatat(Fd(folder.handle()), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return existing;
    return LastError();
  }
  existing.found = true;
  existing.folder = S_ISDIR(info.st_mode);
  existing.regular = S_ISREG(info.st_mode);
  existing.link = S_ISLNK(info.st_mode);
  existing.mode = static_cast<uint32_t>(info.st_mode & 07777);
  existing.owner = static_cast<uint32_t>(info.st_uid);
  existing.group = static_cast<uint32_t>(info.st_gid);
  existing.readOnly = existing.regular && (info.st_mode & 0222) == 0;
  // The access check for writing, as the owner would meet it: root may write anything.
  if (existing.regular &&
      ::faccessat(Fd(folder.handle()), name.c_str(), W_OK, 0) != 0) {
    existing.writeError = LastError();
  }
  return existing;
}

SystemResult<intptr_t> CreateNew(const Folder& folder, const std::string& name, const Existing& replaced) {
  const bool keep = replaced.found && replaced.regular;
  // The permission bits alone: set-user-ID and set-group-ID never pass to new content.
  const mode_t mode = keep ? static_cast<mode_t>(replaced.mode & 0777) : 0666;
  // Created with those bits (the umask may narrow them), so that no other user can open
  // the new content in the moment before they are set exactly.
  const int fd = ::openat(Fd(folder.handle()), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
  if (fd < 0) return LastError();
  if (keep) {
    // Run by root in another user's folder, the file stays that user's. Only root may give
    // a file away; an owner may still give it one of its own groups. Where neither is
    // allowed, or the file system keeps no owners, the file is as it was created.
    if ((replaced.owner != ::geteuid() || replaced.group != ::getegid()) &&
        ::fchown(fd, replaced.owner, replaced.group) != 0) {
      (void)::fchown(fd, static_cast<uid_t>(-1), replaced.group);
    }
    // A file system that keeps no modes (FAT through FUSE, some shares) refuses; the file
    // is then as it creates it.
    (void)::fchmod(fd, mode);
  }
  return intptr_t{fd};
}

SystemStatus WriteAll(intptr_t handle, const char* data, size_t size) { return WriteAllTo(Fd(handle), data, size); }

void StartWriteback(intptr_t handle) {
  (void)::sync_file_range(Fd(handle), 0, 0, SYNC_FILE_RANGE_WRITE);
}

SystemStatus SyncData(intptr_t handle) { return StatusOf(::fsync(Fd(handle))); }

SystemStatus CloseWritten(intptr_t handle) {
  // A write error that close() could report has been reported by the fsync before it.
  if (::close(Fd(handle)) != 0) return LastError();
  return {};
}

SystemStatus Rename(const Folder& folder, const std::string& from, const std::string& to, bool replace) {
  const int dir = Fd(folder.handle());
  if (replace) return StatusOf(::renameat(dir, from.c_str(), dir, to.c_str()));
  if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0) {
    return {};
  }
  if (errno != EINVAL && errno != ENOSYS) return LastError();
  // A file system without an exclusive rename: a hard link, which never replaces, and the
  // old name removed.
  if (::linkat(dir, from.c_str(), dir, to.c_str(), 0) == 0) {
    return StatusOf(::unlinkat(dir, from.c_str(), 0));
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return LastError();
  // Nor hard links (FAT through FUSE): the rename, after a look that the name is free.
  struct stat info;
  if (::fstatat(dir, to.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    return SystemError::Of(EEXIST);
  }
  if (errno != ENOENT) return LastError();
  return StatusOf(::renameat(dir, from.c_str(), dir, to.c_str()));
}

SystemStatus RenameWritten(const Folder& folder, intptr_t, const std::string& from, const std::string& to) {
  return Rename(folder, from, to, /*replace=*/true);
}

SystemStatus SyncRename(const Folder& folder, intptr_t, const std::string&) {
  // The rename lives in the folder. A file system that can't sync a folder (some FUSE and
  // network file systems answer EINVAL or ENOTSUP) has nothing more to give: the file's
  // own data was synced before the rename.
  if (::fsync(Fd(folder.handle())) == 0) return {};
  if (errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP) return {};
  return LastError();
}

namespace {

// Takes `name` out of the folder (a link itself, never the file it points to); a program
// that still has the file open keeps only its data.
SystemStatus Unlink(const Folder& folder, const std::string& name) {
  return StatusOf(::unlinkat(Fd(folder.handle()), name.c_str(), 0));
}

}  // namespace

void DiscardWritten(const Folder& folder, intptr_t handle, const std::string& name) {
  if (handle != -1) (void)CloseWritten(handle);
  (void)Unlink(folder, name);
}

const bool kRenamesAsideForRemoval = true;

SystemResult<intptr_t> HoldForRemoval(const Folder& folder, const std::string& name) {
  const int fd = ::openat(Fd(folder.handle()), name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0 && errno == ENOENT) {
    // Perhaps a link whose file is gone: then the link is held itself (it has no data for a
    // writer), and StateOfHeld() says that its file is gone.
    const int link = ::openat(Fd(folder.handle()), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (link < 0) return LastError();
    return intptr_t{link};
  }
  if (fd < 0) return LastError();
  // A read lease is refused while any program has the file open for writing: a logger
  // that still appends to a part. Where no lease can be had (a file of another owner
  // without the right to lease it, a file system without leases) the system can't tell,
  // and the removal goes on as without the check. Closing the file ends the lease.
  if (::fcntl(fd, F_SETLEASE, F_RDLCK) != 0 && errno == EAGAIN) {
    ::close(fd);
    return SystemError::Of(EBUSY);
  }
  return intptr_t{fd};
}

SystemResult<FileState> StateOfHeld(const Folder&, const std::string&, intptr_t handle) {
  // Opened through a link, it is the file pointed to; a link held itself has lost its file.
  struct stat info;
  if (::fstat(Fd(handle), &info) != 0) return LastError();
  if (S_ISLNK(info.st_mode)) return SystemError::Of(ENOENT);
  return StateFromStat(info);
}

// The name goes at once; an open descriptor of another program keeps only the data.
SystemStatus RemoveHeld(const Folder& folder, const std::string& name, intptr_t) { return Unlink(folder, name); }

// Never needed: RemoveHeld() takes the name at once.
SystemResult<intptr_t> HoldAlone(const Folder&, const std::string&) { return SystemError::Of(ENOTSUP); }
SystemStatus RemoveAlone(intptr_t) { return SystemError::Of(ENOTSUP); }

void ReleaseHeld(intptr_t handle) {
  if (handle != -1) ::close(Fd(handle));
}

}  // namespace detail

}  // namespace acqsort
