#pragma once

// The one place that knows the platform's file system. Paths are given as the tool prints
// them, with backslashes; each platform maps them to its own form. Everything is binary:
// newline translation is done by the text layer above, so that every platform reads and
// writes the same bytes.

#include <cstddef>
#include <memory>
#include <string>

#include "platform/failure.h"

namespace acqsort {

// The whole content of a file, read in one go.
Result<std::string> ReadWholeFile(const std::string& path);

// A file opened for reading only.
class InputFile {
 public:
  static Result<InputFile> Open(const std::string& path);
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&&) = delete;
  ~InputFile();

  // Reads up to `capacity` bytes; 0 means the end of the file.
  Result<size_t> Read(char* buffer, size_t capacity);

 private:
  InputFile(std::string path, int handle);
  std::string path_;
  int handle_;
};

enum class Durability {
  kCached,      // the rename may reach the disk before the data after a power loss
  kStableFirst  // the data reaches stable storage before the file is renamed into place
};

// A file written under a temporary name beside `target` and renamed over it only by
// Commit(): until then the target keeps its old content. Dropped without Commit(), the
// temporary file is removed.
class ReplacementFile {
 public:
  static Result<ReplacementFile> Create(const std::string& target);
  ReplacementFile(ReplacementFile&& other) noexcept;
  ReplacementFile& operator=(ReplacementFile&&) = delete;
  ~ReplacementFile();

  Outcome Write(const char* data, size_t size);
  Outcome Commit(Durability durability);

  // The temporary name, as the platform spells it.
  const std::string& temporaryPath() const { return temporaryPath_; }

 private:
  ReplacementFile(std::string target, std::string temporaryPath, int handle);
  void Discard();
  std::string target_;
  std::string temporaryPath_;
  int handle_;
};

// The temporary files of this tool end with this, so that they can be recognised.
extern const char* const kTemporarySuffix;

// How many taken temporary names a replacement file skips before it gives up.
inline constexpr int kTemporaryNameAttempts = 1000;

// Whether anything exists at `path` (no access right is asked for).
bool PathExists(const std::string& path);

// Removes the file at `path`.
Outcome RemovePath(const std::string& path);

}  // namespace acqsort
