// The file system on POSIX platforms: backslashes become slashes, and errors come from errno.

#include <fcntl.h>
#include <signal.h>
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

std::string DirectoryOf(const std::string& nativePath) {
  size_t slash = nativePath.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return nativePath.substr(0, slash);
}

// Syncs the folder that holds the new name. A file system that can't sync a folder (some
// FUSE and network file systems answer EINVAL or ENOTSUP) has nothing more to give: the
// file's own data was synced before the rename.
int SyncDirectory(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  if (error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP) return 0;
  return error;
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

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

void Close(intptr_t handle) { ::close(Fd(handle)); }

Result<intptr_t> OpenRegularForReading(const std::string& path) {
  // O_NONBLOCK: opening a FIFO without a writer would otherwise wait forever.
  int fd;
  do {
    fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return Failure{path, Reason("can't be opened", errno)};
  struct stat info;
  std::string refusal;
  if (::fstat(fd, &info) != 0) {
    refusal = Reason("can't be opened", errno);
  } else if (S_ISDIR(info.st_mode)) {
    refusal = Reason("can't be opened", EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    refusal = NotARegularFileReason("can't be opened");
  } else {
    // A regular file never blocks; reads go on as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return static_cast<intptr_t>(fd);
  }
  ::close(fd);
  return Failure{path, refusal};
}

Result<size_t> ReadSome(intptr_t handle, const std::string& path, char* buffer, size_t capacity) {
  ssize_t n;
  do {
    n = ::read(Fd(handle), buffer, capacity);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return Failure{path, Reason("can't be read", errno)};
  return static_cast<size_t>(n);
}

uint64_t CurrentSize(intptr_t handle) {
  struct stat info;
  if (::fstat(Fd(handle), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<uint64_t>(info.st_size);
}

Result<FileIdentity> IdentityOf(intptr_t handle, const std::string& path) {
  struct stat info;
  if (::fstat(Fd(handle), &info) != 0) return Failure{path, Reason("can't be read", errno)};
  return IdentityFromStat(info);
}

Result<Mapping> MapForReading(intptr_t handle, size_t size, const std::string& path) {
  if (guardedBase.load() != nullptr) return Failure{path, "can't be read: another file is mapped already"};
  // All pages at once: the reading that follows meets no page faults.
  void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, Fd(handle), 0);
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

}  // namespace detail

Result<ReplacementFile> ReplacementFile::Create(const std::string& target,
                                                Durability durability) {
  const std::string nativeTarget = NativePath(target);
  // An existing target that may not be written is not replaced behind its owner's back.
  // A symbolic link is not followed: the link itself is what gets replaced.
  struct stat old;
  const bool exists = ::lstat(nativeTarget.c_str(), &old) == 0;
  if (exists && S_ISREG(old.st_mode) && ::access(nativeTarget.c_str(), W_OK) != 0 &&
      errno != ENOENT) {
    return Failure{target, Reason("can't be replaced", errno)};
  }
  // The process id keeps concurrent runs apart, the counter keeps files of one run apart.
  // A name left behind by a killed run whose id came back is skipped, not failed on.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0;; ++attempt) {
    std::string temporaryPath = detail::TemporaryPathFor(target, counter++);
    int fd;
    do {
      fd = ::open(NativePath(temporaryPath).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      // The new file keeps the old one's permission bits. A file system that keeps no
      // modes (FAT through FUSE, some shares) refuses; the file is then as it creates it.
      if (exists && S_ISREG(old.st_mode)) (void)::fchmod(fd, old.st_mode & 07777);
      return ReplacementFile(target, std::move(temporaryPath), fd, durability);
    }
    if (errno != EEXIST || attempt == kTemporaryNameAttempts) {
      return Failure{target, Reason("can't be created", errno)};
    }
  }
}

void ReplacementFile::Discard() {
  if (handle_ != -1) ::close(Fd(handle_));
  handle_ = -1;
  if (!temporaryPath_.empty()) ::unlink(NativePath(temporaryPath_).c_str());
  temporaryPath_.clear();
}

void ReplacementFile::Reserve(uint64_t bytes) {
  if (handle_ == -1 || bytes <= written_) return;
  // The size stays as written; a refusal (a file system without it, a full disk) leaves
  // the writes to find their room themselves. A refusal may come after part of the room
  // was taken, so Commit() gives back what lies beyond the file either way.
  (void)::fallocate(Fd(handle_), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
  reserved_ = bytes;
}

Outcome ReplacementFile::Write(const char* data, size_t size) {
  if (handle_ == -1) return Failure{target_, "can't be written: the file is closed"};
  if (int error = detail::WriteAllTo(Fd(handle_), data, size); error != 0) {
    Discard();
    return Failure{target_, Reason("can't be written", error)};
  }
  written_ += size;
  if (durability_ == Durability::kStableFirst) {
    // Only a request to start writing back: a write error it meets is reported by the
    // fsync in Commit().
    (void)::sync_file_range(Fd(handle_), 0, 0, SYNC_FILE_RANGE_WRITE);
  }
  return {};
}

Outcome ReplacementFile::Commit() {
  if (handle_ == -1) return Failure{target_, "can't be written: the file is closed"};
  // Cutting the file at its own size gives back the room reserved beyond it. Only room is
  // at stake, not content, so a refusal does not fail the file.
  if (reserved_ > written_) (void)::ftruncate(Fd(handle_), static_cast<off_t>(written_));
  if (durability_ == Durability::kStableFirst && ::fsync(Fd(handle_)) != 0) {
    int error = errno;
    Discard();
    return Failure{target_, Reason("can't be written to disk", error)};
  }
  int fd = Fd(std::exchange(handle_, -1));
  if (::close(fd) != 0) {
    int error = errno;
    Discard();
    return Failure{target_, Reason("can't be written", error)};
  }
  std::string nativeTarget = NativePath(target_);
  if (::rename(NativePath(temporaryPath_).c_str(), nativeTarget.c_str()) != 0) {
    int error = errno;
    Discard();
    return Failure{target_, Reason("can't be replaced", error)};
  }
  temporaryPath_.clear();
  if (durability_ == Durability::kStableFirst) {
    // The rename itself lives in the folder: sync it so that the new name survives too.
    int error = SyncDirectory(DirectoryOf(nativeTarget));
    if (error != 0) return Failure{target_, Reason("can't be written to disk", error)};
  }
  return {};
}

bool PathExists(const std::string& path) {
  struct stat info;
  return ::lstat(NativePath(path).c_str(), &info) == 0;
}

Removal RemoveFileIfUnchanged(const std::string& path, const FileIdentity& expected) {
  const std::string native = NativePath(path);
  struct stat info;
  if (::stat(native.c_str(), &info) != 0) {
    return PathExists(path) ? Removal::kKept : Removal::kAbsent;
  }
  if (IdentityFromStat(info) != expected) return Removal::kKept;
  if (::unlink(native.c_str()) != 0 && errno == ENOENT) return Removal::kAbsent;
  // Reported removed only once it is seen to be gone: a removal can be accepted while the
  // file stays (an immutable file under some emulators).
  return PathExists(path) ? Removal::kKept : Removal::kRemoved;
}

}  // namespace acqsort
