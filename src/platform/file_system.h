#pragma once

// The one place that knows the platform's file system. Paths are given as the tool prints
// them, with backslashes; each platform maps them to its own form. Everything is binary:
// newlines are translated above this layer, by the one rule in platform/newlines.h, so
// that every platform reads and writes the same bytes.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace acqsort {

// The whole content of a regular file, read in one go.
Result<std::string> ReadWholeFile(const std::string& path);

// What tells whether a file still holds what was read from it: its size and, where the
// platform gives them, its identity on the volume and its modification time.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  int64_t modified = 0;  // in the platform's own unit
  uint64_t size = 0;

  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index && modified == other.modified &&
           size == other.size;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

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

  // The file as it is now, with the size of what was read through this object: compared
  // later with the file on disk, it tells whether the file holds exactly what was read.
  Result<FileIdentity> IdentityOfWhatWasRead() const;

 private:
  friend Result<std::string> ReadWholeFile(const std::string& path);
  InputFile(std::string path, intptr_t handle);
  std::string path_;
  intptr_t handle_;
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
  // vanished under the reader, or its size, time or identity is no longer what it was.
  Outcome CheckUnchanged() const;

  // Whether a part of the mapping has vanished under the reader so far. Inline and cheap,
  // for it is asked for every line: what follows a vanished part reads as zeros without a
  // newline, so one "line" can run to the end of the mapping, and a reader must stop before
  // it uses it.
  bool PartLost() const { return lost_ != nullptr && lost_->load(std::memory_order_relaxed); }

 private:
  MappedFile(std::string path, intptr_t handle, intptr_t mapping, const char* base, size_t size,
             const std::atomic<bool>* lost, const FileIdentity& identity);
  std::string path_;
  intptr_t handle_;   // the file, kept open to compare it at the end
  intptr_t mapping_;  // Windows' mapping object; unused elsewhere
  const std::atomic<bool>* lost_;  // set by the guard of the mapping; none for an empty file
  const char* base_;
  size_t size_;
  FileIdentity identity_;
};

enum class Durability {
  kCached,      // the rename may reach the disk before the data after a power loss
  kStableFirst  // the data, then the rename, reach stable storage before Commit() returns;
                // on Linux the data starts towards the disk as it is written, so that
                // Commit() waits only for the tail (a 45 MB merge: 29 ms instead of 41)
};

// A file written under a temporary name in the folder of `target` and renamed over it only
// by Commit(): until then the target keeps its old content. Dropped without Commit(), the
// temporary file is removed. A target that exists and may not be written is refused by
// Create(); a target that is a symbolic link is replaced by a regular file, so the file the
// link points to is never written. The new file gets the permission bits of the old one.
class ReplacementFile {
 public:
  static Result<ReplacementFile> Create(const std::string& target, Durability durability);
  ReplacementFile(ReplacementFile&& other) noexcept;
  ReplacementFile& operator=(ReplacementFile&&) = delete;
  ~ReplacementFile();

  // Asks the file system for room for about `bytes` bytes at once, so that the writes need
  // not find it block by block: the sort's 57 MB take 3 ms less on ext4. Only a request:
  // where it is refused, the writes find their room as usual. Room not written by the time
  // of Commit() is given back then.
  void Reserve(uint64_t bytes);
  Outcome Write(const char* data, size_t size);
  Outcome Commit();

 private:
  ReplacementFile(std::string target, std::string temporaryPath, intptr_t handle,
                  Durability durability);
  void Discard();
  std::string target_;
  std::string temporaryPath_;
  intptr_t handle_;
  Durability durability_;
  uint64_t written_ = 0;
  uint64_t reserved_ = 0;
};

// The temporary files of this tool end with this, so that they can be recognised.
extern const char* const kTemporarySuffix;

// How many taken temporary names a replacement file skips before it gives up.
inline constexpr int kTemporaryNameAttempts = 1000;

// Whether anything exists at `path` (no access right is asked for).
bool PathExists(const std::string& path);

enum class Removal {
  kRemoved,  // the file was there and is gone now
  kAbsent,   // there was no file (another run may have removed it meanwhile)
  kKept      // the file is still there: it changed since it was read, or it can't be removed
};

// Removes the file at `path` only if it still is the file that `expected` describes, and
// says kRemoved only once the file is seen to be gone. A symbolic link is compared by the
// file it points to, and only the link is removed.
Removal RemoveFileIfUnchanged(const std::string& path, const FileIdentity& expected);

}  // namespace acqsort
