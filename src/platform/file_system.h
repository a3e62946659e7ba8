#pragma once

// The one place that knows the platform's file system. Paths are given as the tool prints
// them, with backslashes; each platform maps them to its own form. Everything is binary:
// newlines are translated above this layer, by the one rule in text/newlines.h, so
// that every platform reads and writes the same bytes.
//
// The order that keeps the data safe (an output's data on disk before its name replaces
// the old file; a part removed only while it is still what was merged, and only once the
// merged file is on disk) is written once, in file_system.cpp, over the small system calls
// of each platform (file_system_detail.h).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/failure.h"

namespace acqsort {

// The whole content of a regular file, read in one go.
Result<std::string> ReadWholeFile(const std::string& path);

// What tells whether a file still holds what was read from it: which file it is (its volume
// and its ID there, where the platform gives them), its size and its modification time.
struct FileState {
  uint64_t volume = 0;
  uint64_t index = 0;      // the file's ID on the volume: 128 bits on Windows where the
  uint64_t indexHigh = 0;  // system gives them, else 64
  int64_t modified = 0;    // in the platform's own unit
  uint64_t size = 0;

  // Whether the two are proven to be the same file. An ID of 0 (some network servers give
  // no ID) proves nothing.
  bool SameFile(const FileState& other) const {
    return (index != 0 || indexHigh != 0) && volume == other.volume && index == other.index &&
           indexHigh == other.indexHigh;
  }
  // Whether nothing has changed since `before`: the same ID, size and time.
  bool Unchanged(const FileState& before) const {
    return volume == before.volume && index == before.index && indexHigh == before.indexHigh &&
           modified == before.modified && size == before.size;
  }
};

// The state of the file at `path`, reached through any links; none when nothing is
// there. Any other failure to look (a folder that can't be searched, an I/O error) fails.
Result<std::optional<FileState>> StateAt(const std::string& path);

// The words for a changed input, the same for every file that is read.
inline constexpr const char* kChangedWhileRead = "can't be read: it changed while it was being read";

// A regular file opened for reading only. Opening never waits: a pipe, a device or a socket
// is refused at once, and so is a folder.
class InputFile {
 public:
  static Result<InputFile> Open(const std::string& path);
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&&) = delete;
  ~InputFile();

  // Reads up to `capacity` bytes; 0 means the end of the file.
  Result<size_t> Read(char* buffer, size_t capacity);

  // The size the file has now, or 0 when the platform can't tell: a hint for how much to
  // expect, since another program may still change it.
  uint64_t CurrentSize() const;

  // Fails, naming the file, unless the file is still exactly as it was when it was opened
  // and what was read through this object is all of it: another program that patched it in
  // place, truncated and rewrote it, or appended to it meanwhile is seen here.
  Outcome CheckReadWhole() const;

  // The file as it was opened: what a later look must find again.
  const FileState& state() const { return state_; }

 private:
  friend Result<std::string> ReadWholeFile(const std::string& path);
  InputFile(std::string path, intptr_t handle, const FileState& state);
  std::string path_;
  intptr_t handle_;
  FileState state_;
  uint64_t bytesRead_ = 0;
};

// A regular file's whole content mapped into memory for reading, without a copy. Another
// program may truncate, extend or rewrite the file meanwhile: reading never crashes (what
// the file no longer holds reads as zeros), and CheckUnchanged() tells afterwards whether
// what was read is the file's content. Only one file is mapped at a time.
class MappedFile {
 public:
  static Result<MappedFile> Open(const std::string& path);
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&&) = delete;
  ~MappedFile();

  std::string_view text() const { return std::string_view(base_, size_); }

  // Fails, naming the file, when it changed since it was opened: a part of the mapping
  // vanished under the reader, or its ID, size or time is no longer what it was.
  Outcome CheckUnchanged() const;

  // Whether a part of the mapping has vanished under the reader so far. Inline and cheap,
  // for it is asked for every line: what follows a vanished part reads as zeros without a
  // newline, so one "line" can run to the end of the mapping, and a reader must stop before
  // it uses it.
  bool PartLost() const { return lost_ != nullptr && lost_->load(std::memory_order_relaxed); }

 private:
  MappedFile(std::string path, intptr_t handle, intptr_t mapping, const char* base, size_t size,
             const std::atomic<bool>* lost, const FileState& state);
  std::string path_;
  intptr_t handle_;   // the file, kept open to compare it at the end
  intptr_t mapping_;  // Windows' mapping object; unused elsewhere
  const std::atomic<bool>* lost_;  // set by the guard of the mapping; none for an empty file
  const char* base_;
  size_t size_;
  FileState state_;
};

// The working directory, in full, as the operator would look for it (UTF-8).
std::string WorkingDirectory();

// The names in the folder at `path` (as printed); none when it can't be read.
std::vector<std::string> NamesIn(const std::string& path);

// The folder of `path` as printed ("ACQ\sub" for "ACQ\sub\data.txt"), or "" for the
// working directory.
std::string FolderOf(const std::string& path);

// The last name of `path`, the one inside its folder ("data.txt" for "ACQ\data.txt").
std::string NameOf(const std::string& path);

// Whether something is at `path`, for a note to the operator: a failure to look counts as
// nothing there.
bool Exists(const std::string& path);

// A folder opened once: the files in it are created, renamed, synced and removed through
// it, so that a link to the folder retargeted during the run can't make the run sync one
// folder and remove files from another.
class Folder {
 public:
  // `path` as printed; "" is the working directory.
  static Result<Folder> Open(const std::string& path);
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&&) = delete;
  ~Folder();

  const std::string& path() const { return path_; }
  // The file `name` of this folder, as printed ("ACQ\dataINF1.txt").
  std::string PathOf(const std::string& name) const {
    return path_.empty() ? name : path_ + "\\" + name;
  }
  // The platform's handle of the folder, for the platform layer alone.
  intptr_t handle() const { return handle_; }

 private:
  Folder(std::string path, intptr_t handle);
  std::string path_;
  intptr_t handle_;
};

// A file written under a temporary name in `folder` and put in the place of `target` (a
// file of that folder) only by Commit(): until then the target keeps its old content.
// Dropped without Commit(), the temporary file is removed. A target that exists and may not
// be written, or that is a folder, is refused by Create(); a target that is a symbolic link
// is replaced by a regular file, so the file the link points to is never written.
//
// The temporary file has the permission bits of the file it replaces (or the usual ones)
// from its creation on, never wider; run by root, it also keeps the old file's owner and
// group. Set-user-ID and set-group-ID bits are never carried over.
class ReplacementFile {
 public:
  static Result<ReplacementFile> Create(const Folder& folder, const std::string& target);
  ReplacementFile(ReplacementFile&& other) noexcept;
  ReplacementFile& operator=(ReplacementFile&&) = delete;
  ~ReplacementFile();

  Outcome Write(const char* data, size_t size);
  // The data reaches stable storage, then the file takes the target's name, then that
  // rename reaches stable storage, all before Commit() returns.
  Outcome Commit();

 private:
  ReplacementFile(const Folder& folder, std::string target, std::string temporaryName,
                  intptr_t handle);
  void Discard();
  const Folder* folder_;
  std::string target_;
  std::string temporaryName_;  // in the folder; empty once renamed or removed
  intptr_t handle_;
};

// The temporary files of this tool end with this, so that they can be recognised.
extern const char* const kTemporarySuffix;


enum class Removal {
  kRemoved,  // the file was there and is gone now
  kAbsent,   // there was no file (another run may have removed it meanwhile)
  kKept      // the file is still there: it changed since it was read, another program
             // still writes to it, or it can't be removed
};

// What became of a file to be removed, and for a kept one why, in words for the operator
// ("in use by another program", "it is write-protected (Permission denied)").
struct RemovalResult {
  Removal removal;
  bool changed = false;  // kept because it is no longer the file that was read
  std::string why = {};
};

// Removes the file at `path`, in `folder`, only if it still is the file that `expected`
// describes and no other program has it open for writing, and says kRemoved only once it
// is seen to be gone. A symbolic link is compared by the file it points to, and only the
// link is removed; a link whose file is gone (a part linked to a part removed before it)
// holds no data and is removed. Only "not found" counts as absent: any other failure keeps
// the file.
RemovalResult RemoveFileIfUnchanged(const Folder& folder, const std::string& path,
                                    const FileState& expected);

}  // namespace acqsort
