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

namespace {

// A short name of this tool's own: it does not grow with the name it stands in for, so it
// fits wherever that name fits. The process id keeps concurrent runs apart, the counter
// the names of one run.
std::string NextTemporaryName() {
  static std::atomic<unsigned> counter{0};
  return std::to_string(detail::ProcessId()) + "-" + std::to_string(counter++) + kTemporarySuffix;
}

// How many taken temporary names are skipped before giving up.
constexpr int kTemporaryNameAttempts = 1000;

// Calls `take(name)` with fresh temporary names until one is not taken (EEXIST) yet; a
// name left behind by a killed run whose process id came back is skipped, not failed on.
template <typename Take>
auto WithFreeTemporaryName(std::string& name, Take take) {
  name = NextTemporaryName();
  auto taken = take(name);
  for (int attempt = 0; taken.Failed(EEXIST) && attempt < kTemporaryNameAttempts; ++attempt) {
    name = NextTemporaryName();
    taken = take(name);
  }
  return taken;
}

// Why a file could not be removed, in the operator's words.
std::string KeptBecause(const SystemError& error) {
  if (error.Is(EBUSY)) return "in use by another program";
  if (error.Is(EACCES) || error.Is(EPERM) || error.Is(EROFS)) {
    return "it is write-protected (" + error.Words() + ")";
  }
  return error.Words();
}

// The failure of a file that can't be opened for reading as a data file.
Failure RefusedForReading(const std::string& path, detail::FileKind kind) {
  if (kind == detail::FileKind::kFolder) return FailureOf(path, "can't be opened", SystemError::Of(EISDIR));
  return Failure{path, "can't be opened: not a regular file (a pipe, a device or a socket)"};
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

std::string NameOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool Exists(const std::string& path) {
  Result<std::optional<FileState>> state = StateAt(path);
  return state.ok() && state.value().has_value();
}

Result<std::optional<FileState>> StateAt(const std::string& path) {
  SystemResult<FileState> state = detail::StateAtPath(path);
  if (state.Failed(ENOENT)) return std::optional<FileState>();
  if (!state.ok()) return FailureOf(path, "can't be opened", state.error());
  return std::optional<FileState>(state.value());
}

namespace {

// A regular file opened for reading, with its state as it was opened.
struct OpenedRegular {
  intptr_t handle;
  FileState state;
};

Result<OpenedRegular> OpenRegular(const std::string& path) {
  SystemResult<detail::OpenedForReading> opened = detail::OpenForReading(path);
  if (!opened.ok()) return FailureOf(path, "can't be opened", opened.error());
  if (opened.value().kind != detail::FileKind::kRegular) return RefusedForReading(path, opened.value().kind);
  const intptr_t handle = opened.value().handle;
  SystemResult<FileState> state = detail::StateOf(handle);
  if (!state.ok()) {
    detail::Close(handle);
    return FailureOf(path, "can't be read", state.error());
  }
  return OpenedRegular{handle, state.value()};
}

}  // namespace

Result<InputFile> InputFile::Open(const std::string& path) {
  Result<OpenedRegular> opened = OpenRegular(path);
  if (!opened.ok()) return opened.failure();
  return InputFile(path, opened.value().handle, opened.value().state);
}

InputFile::InputFile(std::string path, intptr_t handle, const FileState& state)
    : path_(std::move(path)), handle_(handle), state_(state) {}

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, -1)),
      state_(other.state_),
      bytesRead_(other.bytesRead_) {}

InputFile::~InputFile() {
  if (handle_ != -1) detail::Close(handle_);
}

uint64_t InputFile::CurrentSize() const { return detail::CurrentSize(handle_); }

Result<size_t> InputFile::Read(char* buffer, size_t capacity) {
  SystemResult<size_t> read = detail::ReadSome(handle_, buffer, capacity);
  if (!read.ok()) return FailureOf(path_, "can't be read", read.error());
  bytesRead_ += read.value();
  return read.value();
}

Outcome InputFile::CheckReadWhole() const {
  SystemResult<FileState> now = detail::StateOf(handle_);
  if (!now.ok()) return FailureOf(path_, "can't be read", now.error());
  if (!now.value().Unchanged(state_) || bytesRead_ != state_.size) return Failure{path_, kChangedWhileRead};
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
    return FailureOf(path, "can't be read", SystemError::Of(ENOMEM));
  }
  return content;
}

Result<MappedFile> MappedFile::Open(const std::string& path) {
  Result<OpenedRegular> opened = OpenRegular(path);
  if (!opened.ok()) return opened.failure();
  const intptr_t handle = opened.value().handle;
  const FileState& state = opened.value().state;
  const size_t size = static_cast<size_t>(state.size);
  // An empty file has nothing to map (and Windows maps none).
  if (size == 0) return MappedFile(path, handle, -1, "", 0, nullptr, state);
  SystemResult<detail::Mapping> mapping = detail::MapForReading(handle, size);
  if (!mapping.ok()) {
    detail::Close(handle);
    if (mapping.Failed(EBUSY)) return Failure{path, "can't be read: another file is mapped already"};
    return FailureOf(path, "can't be read", mapping.error());
  }
  return MappedFile(path, handle, mapping.value().object, mapping.value().base, size,
                    mapping.value().lost, state);
}

MappedFile::~MappedFile() {
  if (size_ > 0) detail::Unmap(base_, size_, mapping_);
  if (handle_ != -1) detail::Close(handle_);
}

MappedFile::MappedFile(std::string path, intptr_t handle, intptr_t mapping, const char* base,
                       size_t size, const std::atomic<bool>* lost, const FileState& state)
    : path_(std::move(path)),
      handle_(handle),
      mapping_(mapping),
      lost_(lost),
      base_(base),
      size_(size),
      state_(state) {}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, -1)),
      mapping_(std::exchange(other.mapping_, -1)),
      lost_(std::exchange(other.lost_, nullptr)),
      base_(std::exchange(other.base_, "")),
      size_(std::exchange(other.size_, 0)),
      state_(other.state_) {}

Outcome MappedFile::CheckUnchanged() const {
  SystemResult<FileState> now = detail::StateOf(handle_);
  if (!now.ok()) return FailureOf(path_, "can't be read", now.error());
  if (PartLost() || !now.value().Unchanged(state_)) return Failure{path_, kChangedWhileRead};
  return {};
}

Result<Folder> Folder::Open(const std::string& path) {
  SystemResult<intptr_t> handle = detail::OpenFolder(path);
  if (!handle.ok()) return FailureOf(path.empty() ? "." : path, "can't be opened", handle.error());
  return Folder(path, handle.value());
}

Folder::Folder(std::string path, intptr_t handle) : path_(std::move(path)), handle_(handle) {}

Folder::Folder(Folder&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, -1)) {}

Folder::~Folder() {
  if (handle_ != -1) detail::CloseFolder(handle_);
}

Result<ReplacementFile> ReplacementFile::Create(const Folder& folder, const std::string& target) {
  const std::string name = NameOf(target);
  SystemResult<detail::Existing> looked = detail::LookUp(folder, name);
  if (!looked.ok()) return FailureOf(target, "can't be replaced", looked.error());
  const detail::Existing& old = looked.value();
  if (old.found && old.folder) return FailureOf(target, "can't be replaced", SystemError::Of(EISDIR));
  // An existing target that may not be written is not replaced behind its owner's back.
  if (old.found && old.writeError.has_value()) return FailureOf(target, "can't be replaced", *old.writeError);
  std::string temporaryName;
  InterruptsHeldBack held;  // the file is never there unregistered
  SystemResult<intptr_t> handle = WithFreeTemporaryName(temporaryName, [&](const std::string& candidate) {
    return detail::CreateNew(folder, candidate, old);
  });
  if (!handle.ok()) return FailureOf(target, "can't be created", handle.error());
  OnInterruptRemove(folder, temporaryName);
  return ReplacementFile(folder, target, std::move(temporaryName), handle.value());
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
  if (SystemStatus written = detail::WriteAll(handle_, data, size); !written.ok()) {
    Discard();
    return FailureOf(target_, "can't be written", written.error());
  }
  // Only a request: a write error that the writeback meets is reported by SyncData().
  detail::StartWriteback(handle_);
  return {};
}

Outcome ReplacementFile::Commit() {
  if (handle_ == -1) return Failure{target_, "can't be written: the file is closed"};
  // The data first: a rename that reached the disk before the data would, after a power
  // loss, leave the target empty with its old content gone.
  if (SystemStatus synced = detail::SyncData(handle_); !synced.ok()) {
    Discard();
    return FailureOf(target_, "can't be written to disk", synced.error());
  }
  const std::string name = NameOf(target_);
  {
    InterruptsHeldBack held;  // renamed and no longer registered for removal, together
    if (SystemStatus renamed = detail::RenameWritten(*folder_, handle_, temporaryName_, name); !renamed.ok()) {
      Discard();
      return FailureOf(target_, "can't be replaced", renamed.error());
    }
    temporaryName_.clear();
    OnInterruptDoNothing();
  }
  // The rename itself: only once it is on disk may anything rely on the new file (the
  // removal of the parts that it holds).
  if (SystemStatus synced = detail::SyncRename(*folder_, handle_, name); !synced.ok()) {
    (void)detail::CloseWritten(std::exchange(handle_, -1));
    return FailureOf(target_, "can't be written to disk", synced.error());
  }
  if (SystemStatus closed = detail::CloseWritten(std::exchange(handle_, -1)); !closed.ok()) {
    return FailureOf(target_, "can't be written", closed.error());
  }
  return {};
}

namespace {

// Whether the held file is still what was read: `changed` is set when it is not.
SystemStatus CompareHeld(const Folder& folder, const std::string& name, intptr_t handle,
                         const FileState& expected, bool& changed) {
  SystemResult<FileState> now = detail::StateOfHeld(folder, name, handle);
  if (now.Failed(ENOENT)) {
    // A link whose file is gone (a part linked to a part removed just before it) holds no
    // data: what was read through it is in the merged file, and the link goes, as a link
    // always does.
    SystemResult<detail::Existing> held = detail::LookUp(folder, name);
    if (held.ok() && held.value().link) {
      changed = false;
      return {};
    }
  }
  if (!now.ok()) return now.error();
  changed = !now.value().Unchanged(expected);
  return {};
}

// A hold's handle into `handle`, where the steps of one removal share it.
SystemStatus HandleOf(const SystemResult<intptr_t>& held, intptr_t& handle) {
  if (!held.ok()) return held.error();
  handle = held.value();
  return {};
}

}  // namespace

RemovalResult RemoveFileIfUnchanged(const Folder& folder, const std::string& path,
                                    const FileState& expected) {
  const std::string name = NameOf(path);
  // A write-protected file stays, as rm asks before it removes one and as Windows refuses to
  // delete a file with the read-only attribute: both builds keep it, root's run too.
  if (SystemResult<detail::Existing> protection = detail::LookUp(folder, name);
      protection.ok() && protection.value().found &&
      (protection.value().readOnly || protection.value().writeError.has_value())) {
    return {Removal::kKept, false,
            KeptBecause(protection.value().writeError.value_or(SystemError::Of(EACCES)))};
  }
  // Hold, compare, remove what was compared, release or put back. First the file is put
  // out of other programs' reach, so that whatever is compared is what gets removed: on
  // POSIX it goes aside to a name of this tool's own (a line appended by name, or a file
  // renamed over the part, lands in a new file); on Windows the hold itself shares nothing
  // that a writer, a rename or a removal needs.
  std::string held = name;
  if (detail::kRenamesAsideForRemoval) {
    InterruptsHeldBack interrupts;  // aside and registered to go back, together
    const SystemStatus aside = WithFreeTemporaryName(held, [&](const std::string& candidate) {
      return detail::Rename(folder, name, candidate, /*replace=*/false);
    });
    if (aside.Failed(ENOENT)) return {Removal::kAbsent};
    if (!aside.ok()) return {Removal::kKept, false, KeptBecause(aside.error())};
    OnInterruptRenameBack(folder, held, name);
  }
  struct Done {
    ~Done() { OnInterruptDoNothing(); }
  } done;

  RemovalResult kept{Removal::kKept};
  intptr_t handle = -1;
  SystemStatus status = HandleOf(detail::HoldForRemoval(folder, held), handle);
  if (status.Failed(ENOENT) && held == name) return {Removal::kAbsent};
  if (status.ok()) status = CompareHeld(folder, held, handle, expected, kept.changed);
  if (status.ok() && !kept.changed) {
    status = detail::RemoveHeld(folder, held, handle);
    if (status.Failed(ENOTSUP)) {
      // No removal that takes the name at once: only while no other program has the file
      // open, compared again since the hold was let go for a moment.
      detail::ReleaseHeld(std::exchange(handle, -1));
      status = HandleOf(detail::HoldAlone(folder, held), handle);
      if (status.ok()) status = CompareHeld(folder, held, handle, expected, kept.changed);
      if (status.ok() && !kept.changed) status = detail::RemoveAlone(handle);
    }
  }
  detail::ReleaseHeld(handle);
  if (kept.changed) {
    kept.why = "it changed since it was read";
  } else if (!status.ok()) {
    kept.why = KeptBecause(status.error());
  } else {
    // Reported removed only once it is seen to be gone: a removal can be accepted while the
    // file stays (an immutable file under some emulators).
    SystemResult<detail::Existing> left = detail::LookUp(folder, held);
    if (left.ok() && !left.value().found) return {Removal::kRemoved};
    kept.why = "it is still there after its removal";
  }
  if (held == name) return kept;
  // Set aside and not removed: back under its own name, unless a new file has taken that
  // name meanwhile, which must not be replaced; the file then stays under the name it was
  // given aside.
  InterruptsHeldBack interrupts;
  const SystemStatus back = detail::Rename(folder, held, name, /*replace=*/false);
  if (back.Failed(EEXIST)) {
    kept.why += "; a new file has taken its name meanwhile, so it is kept as " + folder.PathOf(held);
  } else if (back.Failed(ENOENT)) {
    kept.why += "; another program has removed it meanwhile from " + folder.PathOf(held);
  } else if (!back.ok()) {
    kept.why += "; it could not be given its name back (" + back.error().Words() + "), so it is kept as " +
                folder.PathOf(held);
  }
  OnInterruptDoNothing();
  return kept;
}

}  // namespace acqsort
