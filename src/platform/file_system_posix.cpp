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

// Calls `call` again for as long as a signal interrupts it (-1 with EINTR).
template <typename Call>
auto Retrying(Call call) {
  for (;;) {
    auto result = call();
    if (!(result == -1 && errno == EINTR)) return result;
  }
}

FileIdentity IdentityFromStat(const struct stat& info) {
  FileIdentity identity;
  identity.volume = static_cast<uint64_t>(info.st_dev);
  identity.index = static_cast<uint64_t>(info.st_ino);
  identity.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  identity.size = static_cast<uint64_t>(info.st_size);
  return identity;
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

std::string ErrorText(int error) { return std::strerror(error); }

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

void Close(intptr_t handle) { ::close(Fd(handle)); }

Result<intptr_t> OpenRegularForReading(const std::string& path) {
  // O_NONBLOCK: opening a FIFO without a writer would otherwise wait forever.
  const int fd = Retrying([&] {
    return ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  });
  if (fd < 0) return Failure{path, Reason("can't be opened", errno)};
  struct stat info;
  std::string refusal;
  if (Retrying([&] { return ::fstat(fd, &info); }) != 0) {
    refusal = Reason("can't be opened", errno);
  } else if (S_ISDIR(info.st_mode)) {
    refusal = Reason("can't be opened", EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    refusal = NotARegularFileReason("can't be opened");
  } else {
    // A regular file never blocks; reads go on as usual.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) return static_cast<intptr_t>(fd);
    refusal = Reason("can't be opened", errno);
  }
  ::close(fd);
  return Failure{path, refusal};
}

Result<size_t> ReadSome(intptr_t handle, const std::string& path, char* buffer, size_t capacity) {
  const ssize_t n = Retrying([&] { return ::read(Fd(handle), buffer, capacity); });
  if (n < 0) return Failure{path, Reason("can't be read", errno)};
  return static_cast<size_t>(n);
}

uint64_t CurrentSize(intptr_t handle) {
  struct stat info;
  if (Retrying([&] { return ::fstat(Fd(handle), &info); }) != 0 || info.st_size < 0) return 0;
  return static_cast<uint64_t>(info.st_size);
}

int IdentityOf(intptr_t handle, FileIdentity& identity) {
  struct stat info;
  if (Retrying([&] { return ::fstat(Fd(handle), &info); }) != 0) return errno;
  identity = IdentityFromStat(info);
  return 0;
}

int IdentityAtPath(const std::string& path, FileIdentity& identity) {
  struct stat info;
  if (Retrying([&] { return ::stat(NativePath(path).c_str(), &info); }) != 0) return errno;
  identity = IdentityFromStat(info);
  return 0;
}

Result<Mapping> MapForReading(intptr_t handle, size_t size, const std::string& path) {
  if (guardedBase.load() != nullptr) return Failure{path, "can't be read: another file is mapped already"};
  // All pages at once: the reading that follows meets no page faults.
  void* base;
  do {
    base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, Fd(handle), 0);
  } while (base == MAP_FAILED && errno == EINTR);
  if (base == MAP_FAILED) return Failure{path, Reason("can't be read", errno)};
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

int OpenFolder(const std::string& path, intptr_t& handle) {
  const std::string native = path.empty() ? "." : NativePath(path);
  const int fd = Retrying([&] { return ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return errno;
  handle = fd;
  return 0;
}

void CloseFolder(intptr_t handle) { ::close(Fd(handle)); }

int LookUp(const Folder& folder, const std::string& name, Existing& existing) {
  struct stat info;
  existing = Existing{};
  existing.name = name;
  if (Retrying([&] { return ::fstatat(Fd(folder.handle()), name.c_str(), &info, AT_SYMLINK_NOFOLLOW); }) != 0) {
    return errno == ENOENT ? 0 : errno;
  }
  existing.found = true;
  existing.folder = S_ISDIR(info.st_mode);
  existing.regular = S_ISREG(info.st_mode);
  existing.mode = static_cast<uint32_t>(info.st_mode & 07777);
  existing.owner = static_cast<uint32_t>(info.st_uid);
  existing.group = static_cast<uint32_t>(info.st_gid);
  existing.readOnly = existing.regular && (info.st_mode & 0222) == 0;
  // The access check for writing, as the owner would meet it: root may write anything.
  if (existing.regular &&
      Retrying([&] { return ::faccessat(Fd(folder.handle()), name.c_str(), W_OK, 0); }) != 0) {
    existing.writeError = errno;
  }
  return 0;
}

int CreateNew(const Folder& folder, const std::string& name, const Existing& replaced,
              intptr_t& handle) {
  const bool keep = replaced.found && replaced.regular;
  // The permission bits alone: set-user-ID and set-group-ID never pass to new content.
  const mode_t mode = keep ? static_cast<mode_t>(replaced.mode & 0777) : 0666;
  // Created with those bits (the umask may narrow them), so that no other user can open
  // the new content in the moment before they are set exactly.
  const int fd = Retrying([&] {
    return ::openat(Fd(folder.handle()), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
  });
  if (fd < 0) return errno;
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
  handle = fd;
  return 0;
}

int WriteAll(intptr_t handle, const char* data, size_t size) { return WriteAllTo(Fd(handle), data, size); }

void StartWriteback(intptr_t handle) {
  (void)::sync_file_range(Fd(handle), 0, 0, SYNC_FILE_RANGE_WRITE);
}

int SyncData(intptr_t handle) {
  return Retrying([&] { return ::fsync(Fd(handle)); }) == 0 ? 0 : errno;
}

int CloseWritten(intptr_t handle) {
  // After EINTR the descriptor is closed all the same (Linux), and a write error that
  // close() could report has been reported by the fsync before it.
  if (::close(Fd(handle)) != 0 && errno != EINTR) return errno;
  return 0;
}

int Rename(const Folder& folder, const std::string& from, const std::string& to, bool replace) {
  const int dir = Fd(folder.handle());
  if (replace) {
    return Retrying([&] { return ::renameat(dir, from.c_str(), dir, to.c_str()); }) == 0 ? 0 : errno;
  }
  if (Retrying([&] { return ::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE); }) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without an exclusive rename: a hard link, which never replaces, and the
  // old name removed.
  if (Retrying([&] { return ::linkat(dir, from.c_str(), dir, to.c_str(), 0); }) == 0) {
    return Retrying([&] { return ::unlinkat(dir, from.c_str(), 0); }) == 0 ? 0 : errno;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return errno;
  // Nor hard links (FAT through FUSE): the rename, after a look that the name is free.
  struct stat info;
  if (Retrying([&] { return ::fstatat(dir, to.c_str(), &info, AT_SYMLINK_NOFOLLOW); }) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return Retrying([&] { return ::renameat(dir, from.c_str(), dir, to.c_str()); }) == 0 ? 0 : errno;
}

int RenameWritten(const Folder& folder, intptr_t, const std::string& from, const std::string& to) {
  return Rename(folder, from, to, /*replace=*/true);
}

int SyncRename(const Folder& folder, intptr_t, const std::string&) {
  // The rename lives in the folder. A file system that can't sync a folder (some FUSE and
  // network file systems answer EINVAL or ENOTSUP) has nothing more to give: the file's
  // own data was synced before the rename.
  if (Retrying([&] { return ::fsync(Fd(folder.handle())); }) == 0) return 0;
  return errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP ? 0 : errno;
}

int Remove(const Folder& folder, const std::string& name) {
  return Retrying([&] { return ::unlinkat(Fd(folder.handle()), name.c_str(), 0); }) == 0 ? 0 : errno;
}

void DiscardWritten(const Folder& folder, intptr_t handle, const std::string& name) {
  if (handle != -1) (void)CloseWritten(handle);
  (void)Remove(folder, name);
}

const bool kRenamesAsideForRemoval = true;

int HoldForRemoval(const Folder& folder, const std::string& name, intptr_t& handle) {
  const int fd = Retrying([&] {
    return ::openat(Fd(folder.handle()), name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  });
  if (fd < 0) return errno;
  // A read lease is refused while any program has the file open for writing: a logger
  // that still appends to a part. Where no lease can be had (a file of another owner
  // without the right to lease it, a file system without leases) the system can't tell,
  // and the removal goes on as without the check. Closing the file ends the lease.
  if (::fcntl(fd, F_SETLEASE, F_RDLCK) != 0 && errno == EAGAIN) {
    ::close(fd);
    return EBUSY;
  }
  handle = fd;
  return 0;
}

int IdentityOfHeld(const Folder&, const std::string&, intptr_t handle, FileIdentity& identity) {
  return IdentityOf(handle, identity);  // opened through a link, it is the file pointed to
}

// The name goes at once; an open descriptor of another program keeps only the data.
int RemoveHeld(const Folder& folder, const std::string& name, intptr_t) { return Remove(folder, name); }

// Never needed: RemoveHeld() takes the name at once.
int HoldAlone(const Folder&, const std::string&, intptr_t&) { return ENOTSUP; }
int RemoveAlone(intptr_t) { return ENOTSUP; }

void ReleaseHeld(intptr_t handle) {
  if (handle != -1) ::close(Fd(handle));
}

}  // namespace detail

}  // namespace acqsort
