// The parts of the file layer that are the same on every platform: above all the order in
// which outputs are replaced and parts removed, over the platform's system calls.

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>

#include "platform/file_system.h"
#include "platform/file_system_detail.h"
#include "platform/process.h"

namespace acqsort {

const char* const kTemporarySuffix = ".acqsort-tmp";

namespace detail {

std::string NotARegularFileReason(const char* what) {
  return std::string(what) + ": not a regular file (a pipe, a device or a socket)";
}

}  // namespace detail

namespace {

// The last name of `path`: the one inside its folder.
std::string NameOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// A short name of this tool's own: it does not grow with the name it stands in for, so it
// fits wherever that name fits. The process id keeps concurrent runs apart, the counter
// the names of one run.
std::string NextTemporaryName() {
  static std::atomic<unsigned> counter{0};
  return std::to_string(detail::ProcessId()) + "-" + std::to_string(counter++) + kTemporarySuffix;
}

// Calls `take(name)` with fresh temporary names until one is not taken (EEXIST) yet; a
// name left behind by a killed run whose process id came back is skipped, not failed on.
template <typename Take>
int WithFreeTemporaryName(std::string& name, Take take) {
  int error = EEXIST;
  for (int attempt = 0; error == EEXIST && attempt <= kTemporaryNameAttempts; ++attempt) {
    name = NextTemporaryName();
    error = take(name);
  }
  return error;
}

// Why a file could not be removed, in the operator's words.
std::string KeptBecause(int error) {
  if (error == EBUSY) return "in use by another program";
  if (error == EACCES || error == EPERM || error == EROFS) {
    return "it is write-protected (" + detail::ErrorText(error) + ")";
  }
  return detail::ErrorText(error);
}

}  // namespace

std::string WorkingDirectory() {
  std::error_code unknown;
  const std::filesystem::path here = std::filesystem::current_path(unknown);
  return unknown ? std::string(".") : here.u8string();
}

std::vector<std::string> NamesIn(const std::string& path) {
  std::string native = path.empty() ? "." : path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  std::vector<std::string> names;
  std::error_code unreadable;
  for (std::filesystem::directory_iterator entry(std::filesystem::u8path(native), unreadable), end;
       !unreadable && entry != end; entry.increment(unreadable)) {
    names.push_back(entry->path().filename().u8string());
  }
  return names;
}

std::string FolderOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

Result<std::optional<FileIdentity>> IdentityAt(const std::string& path) {
  FileIdentity identity;
  const int error = detail::IdentityAtPath(path, identity);
  if (error == ENOENT) return std::optional<FileIdentity>();
  if (error != 0) return detail::FailureOf(path, "can't be opened", error);
  return std::optional<FileIdentity>(identity);
}

Result<InputFile> InputFile::Open(const std::string& path) {
  Result<intptr_t> handle = detail::OpenRegularForReading(path);
  if (!handle.ok()) return handle.failure();
  FileIdentity identity;
  if (int error = detail::IdentityOf(handle.value(), identity); error != 0) {
    detail::Close(handle.value());
    return detail::FailureOf(path, "can't be read", error);
  }
  return InputFile(path, handle.value(), identity);
}

InputFile::InputFile(std::string path, intptr_t handle, const FileIdentity& identity)
    : path_(std::move(path)), handle_(handle), identity_(identity) {}

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, -1)),
      identity_(other.identity_),
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

Outcome InputFile::CheckReadWhole() const {
  FileIdentity now;
  if (int error = detail::IdentityOf(handle_, now); error != 0) {
    return detail::FailureOf(path_, "can't be read", error);
  }
  if (now != identity_ || bytesRead_ != identity_.size) return Failure{path_, kChangedWhileRead};
  return {};
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
  FileIdentity identity;
  if (int error = detail::IdentityOf(handle.value(), identity); error != 0) {
    detail::Close(handle.value());
    return detail::FailureOf(path, "can't be read", error);
  }
  const size_t size = static_cast<size_t>(identity.size);
  // An empty file has nothing to map (and Windows maps none).
  if (size == 0) return MappedFile(path, handle.value(), -1, "", 0, nullptr, identity);
  Result<detail::Mapping> mapping = detail::MapForReading(handle.value(), size, path);
  if (!mapping.ok()) {
    detail::Close(handle.value());
    return mapping.failure();
  }
  return MappedFile(path, handle.value(), mapping.value().object, mapping.value().base, size,
                    mapping.value().lost, identity);
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
  FileIdentity now;
  if (int error = detail::IdentityOf(handle_, now); error != 0) {
    return detail::FailureOf(path_, "can't be read", error);
  }
  if (PartLost() || now != identity_) return Failure{path_, kChangedWhileRead};
  return {};
}

Result<Folder> Folder::Open(const std::string& path) {
  intptr_t handle = -1;
  if (int error = detail::OpenFolder(path, handle); error != 0) {
    return detail::FailureOf(path.empty() ? "." : path, "can't be opened", error);
  }
  return Folder(path, handle);
}

Folder::Folder(std::string path, intptr_t handle) : path_(std::move(path)), handle_(handle) {}

Folder::Folder(Folder&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, -1)) {}

Folder::~Folder() {
  if (handle_ != -1) detail::CloseFolder(handle_);
}

Result<ReplacementFile> ReplacementFile::Create(const Folder& folder, const std::string& target) {
  const std::string name = NameOf(target);
  detail::Existing old;
  if (int error = detail::LookUp(folder, name, old); error != 0) {
    return detail::FailureOf(target, "can't be replaced", error);
  }
  if (old.found && old.folder) return detail::FailureOf(target, "can't be replaced", EISDIR);
  // An existing target that may not be written is not replaced behind its owner's back.
  if (old.found && old.writeError != 0) {
    return detail::FailureOf(target, "can't be replaced", old.writeError);
  }
  intptr_t handle = -1;
  std::string temporaryName;
  InterruptsHeldBack held;  // the file is never there unregistered
  const int error = WithFreeTemporaryName(temporaryName, [&](const std::string& candidate) {
    return detail::CreateNew(folder, candidate, old, handle);
  });
  if (error != 0) return detail::FailureOf(target, "can't be created", error);
  OnInterruptRemove(folder, temporaryName);
  return ReplacementFile(folder, target, std::move(temporaryName), handle);
}

ReplacementFile::ReplacementFile(const Folder& folder, std::string target,
                                 std::string temporaryName, intptr_t handle)
    : folder_(&folder),
      target_(std::move(target)),
      temporaryName_(std::move(temporaryName)),
      handle_(handle) {}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : folder_(other.folder_),
      target_(std::move(other.target_)),
      temporaryName_(std::exchange(other.temporaryName_, std::string())),
      handle_(std::exchange(other.handle_, -1)) {}

ReplacementFile::~ReplacementFile() { Discard(); }

void ReplacementFile::Discard() {
  InterruptsHeldBack held;
  if (!temporaryName_.empty()) {
    detail::DiscardWritten(*folder_, std::exchange(handle_, -1), temporaryName_);
    OnInterruptDoNothing();
  } else if (handle_ != -1) {
    (void)detail::CloseWritten(std::exchange(handle_, -1));
  }
  temporaryName_.clear();
}

Outcome ReplacementFile::Write(const char* data, size_t size) {
  if (handle_ == -1) return Failure{target_, "can't be written: the file is closed"};
  if (int error = detail::WriteAll(handle_, data, size); error != 0) {
    Discard();
    return detail::FailureOf(target_, "can't be written", error);
  }
  // Only a request: a write error that the writeback meets is reported by SyncData().
  detail::StartWriteback(handle_);
  return {};
}

Outcome ReplacementFile::Commit() {
  if (handle_ == -1) return Failure{target_, "can't be written: the file is closed"};
  // The data first: a rename that reached the disk before the data would, after a power
  // loss, leave the target empty with its old content gone.
  if (int error = detail::SyncData(handle_); error != 0) {
    Discard();
    return detail::FailureOf(target_, "can't be written to disk", error);
  }
  const std::string name = NameOf(target_);
  {
    InterruptsHeldBack held;  // renamed and no longer registered for removal, together
    if (int error = detail::RenameWritten(*folder_, handle_, temporaryName_, name); error != 0) {
      Discard();
      return detail::FailureOf(target_, "can't be replaced", error);
    }
    temporaryName_.clear();
    OnInterruptDoNothing();
  }
  // The rename itself: only once it is on disk may anything rely on the new file (the
  // removal of the parts that it holds).
  if (int error = detail::SyncRename(*folder_, handle_, name); error != 0) {
    (void)detail::CloseWritten(std::exchange(handle_, -1));
    return detail::FailureOf(target_, "can't be written to disk", error);
  }
  if (int error = detail::CloseWritten(std::exchange(handle_, -1)); error != 0) {
    return detail::FailureOf(target_, "can't be written", error);
  }
  return {};
}

namespace {

// Whether the held file is still what was read: `changed` is set when it is not; an error
// when it can't be looked at.
int CompareHeld(const Folder& folder, const std::string& name, intptr_t handle,
                const FileIdentity& expected, bool& changed) {
  FileIdentity now;
  const int error = detail::IdentityOfHeld(folder, name, handle, now);
  changed = error == 0 && now != expected;
  return error;
}

}  // namespace

RemovalResult RemoveFileIfUnchanged(const Folder& folder, const std::string& path,
                                    const FileIdentity& expected) {
  const std::string name = NameOf(path);
  // A write-protected file stays, as rm asks before it removes one and as Windows refuses to
  // delete a file with the read-only attribute: both builds keep it, root's run too.
  detail::Existing protection;
  if (detail::LookUp(folder, name, protection) == 0 && protection.found &&
      (protection.readOnly || protection.writeError != 0)) {
    return {Removal::kKept, false, KeptBecause(protection.writeError != 0 ? protection.writeError : EACCES)};
  }
  // Hold, compare, remove what was compared, release or put back. First the file is put
  // out of other programs' reach, so that whatever is compared is what gets removed: on
  // POSIX it goes aside to a name of this tool's own (a line appended by name, or a file
  // renamed over the part, lands in a new file); on Windows the hold itself shares nothing
  // that a writer, a rename or a removal needs.
  std::string held = name;
  if (detail::kRenamesAsideForRemoval) {
    InterruptsHeldBack interrupts;  // aside and registered to go back, together
    const int error = WithFreeTemporaryName(held, [&](const std::string& candidate) {
      return detail::Rename(folder, name, candidate, /*replace=*/false);
    });
    if (error == ENOENT) return {Removal::kAbsent};
    if (error != 0) return {Removal::kKept, false, KeptBecause(error)};
    OnInterruptRenameBack(folder, held, name);
  }
  struct Done {
    ~Done() { OnInterruptDoNothing(); }
  } done;

  intptr_t handle = -1;
  int error = detail::HoldForRemoval(folder, held, handle);
  if (error == ENOENT && held == name) return {Removal::kAbsent};
  RemovalResult kept{Removal::kKept};
  if (error == 0) error = CompareHeld(folder, held, handle, expected, kept.changed);
  if (error == 0 && !kept.changed) {
    error = detail::RemoveHeld(folder, held, handle);
    if (error == ENOTSUP) {
      // No removal that takes the name at once: only while no other program has the file
      // open, compared again since the hold was let go for a moment.
      detail::ReleaseHeld(std::exchange(handle, -1));
      error = detail::HoldAlone(folder, held, handle);
      if (error == 0) error = CompareHeld(folder, held, handle, expected, kept.changed);
      if (error == 0 && !kept.changed) error = detail::RemoveAlone(handle);
    }
  }
  detail::ReleaseHeld(handle);
  if (kept.changed) {
    kept.why = "it changed since it was read";
  } else if (error != 0) {
    kept.why = KeptBecause(error);
  } else {
    // Reported removed only once it is seen to be gone: a removal can be accepted while the
    // file stays (an immutable file under some emulators).
    detail::Existing left;
    if (detail::LookUp(folder, held, left) == 0 && !left.found) return {Removal::kRemoved};
    kept.why = "it is still there after its removal";
  }
  if (held == name) return kept;
  // Set aside and not removed: back under its own name, unless a new file has taken that
  // name meanwhile, which must not be replaced; the file then stays under the name it was
  // given aside.
  InterruptsHeldBack interrupts;
  const int back = detail::Rename(folder, held, name, /*replace=*/false);
  if (back == EEXIST) {
    kept.why += "; a new file has taken its name meanwhile, so it is kept as " + folder.PathOf(held);
  } else if (back == ENOENT) {
    kept.why += "; another program has removed it meanwhile from " + folder.PathOf(held);
  } else if (back != 0) {
    kept.why += "; it could not be given its name back (" + detail::ErrorText(back) + "), so it is kept as " +
                folder.PathOf(held);
  }
  OnInterruptDoNothing();
  return kept;
}

}  // namespace acqsort
