#pragma once

// The system calls behind the file layer, one small function each, implemented once per
// platform; not for use outside the layer. Every order that matters to the data is kept by
// file_system.cpp, never here. Each returns a SystemResult (platform/system_error.h).

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace acqsort::detail {

// What kind of file an open for reading met.
enum class FileKind { kRegular, kFolder, kOther /* a pipe, a device or a socket */ };

struct OpenedForReading {
  intptr_t handle;  // -1 unless the file is regular
  FileKind kind;
};

// Opens the file at `path` for reading only, without ever waiting for a writer; anything
// but a regular file is closed again at once, and only its kind is told.
SystemResult<OpenedForReading> OpenForReading(const std::string& path);

// Reads up to `capacity` bytes into `buffer`; 0 means the end of the file.
SystemResult<size_t> ReadSome(intptr_t handle, char* buffer, size_t capacity);

// The size the file has now, or 0 when the platform can't tell.
uint64_t CurrentSize(intptr_t handle);

// The state of the open file, with its size as the platform reports it.
SystemResult<FileState> StateOf(intptr_t handle);

// The state of the file at `path`, through any links; ENOENT when nothing is there.
SystemResult<FileState> StateAtPath(const std::string& path);

void Close(intptr_t handle);

// A whole file mapped for reading: where it starts, Windows' mapping object (-1 elsewhere),
// and the flag that its guard sets when a part of it vanishes.
struct Mapping {
  const char* base;
  intptr_t object;
  const std::atomic<bool>* lost;
};

// Maps the first `size` bytes (more than 0) of the open file for reading, guarded against
// the file shrinking under the mapping. One file at a time: EBUSY while another is mapped.
SystemResult<Mapping> MapForReading(intptr_t handle, size_t size);

// Undoes MapForReading.
void Unmap(const char* base, size_t size, intptr_t object);

// This process's id, which keeps the temporary names of concurrent runs apart.
unsigned long ProcessId();

// --- Folders and the names in them. `name` is a single name inside the folder.

SystemResult<intptr_t> OpenFolder(const std::string& path);
void CloseFolder(intptr_t handle);

// What a name of a folder holds, as far as replacing it goes. A symbolic link is looked at
// itself, not followed.
struct Existing {
  std::string name;  // the name looked at
  bool found = false;
  bool folder = false;
  bool regular = false;
  bool link = false;  // a symbolic link (Windows: any reparse point)
  std::optional<SystemError> writeError;  // why the file may not be written (EACCES: write protection)
  bool readOnly = false;  // no user may write it (POSIX: no write bit; Windows: the attribute)
  uint32_t mode = 0;   // POSIX permission bits
  uint32_t owner = 0;  // POSIX user and group ids
  uint32_t group = 0;
  uint32_t attributes = 0;  // Windows file attributes
};
// Not found is no failure (found stays false); any other failure to look is.
SystemResult<Existing> LookUp(const Folder& folder, const std::string& name);

// Creates `name`, which must not exist yet (EEXIST), for writing, with what it must keep
// of `replaced` (its permission bits, owner and group) from the start.
SystemResult<intptr_t> CreateNew(const Folder& folder, const std::string& name, const Existing& replaced);

// Writes all of `size` bytes; a write that makes no progress is a full disk.
SystemStatus WriteAll(intptr_t handle, const char* data, size_t size);

// Asks the system to start writing the file's data to disk now, so that SyncData() waits
// only for the tail; only a request, where the platform has one.
void StartWriteback(intptr_t handle);

// Returns once the file's data is on stable storage.
SystemStatus SyncData(intptr_t handle);

// Closes a file that was written; the error of a write that failed late shows here.
SystemStatus CloseWritten(intptr_t handle);

// Gives `from` the name `to`. With `replace`, an existing `to` is replaced in one step;
// without, it is left alone and the call fails with EEXIST.
SystemStatus Rename(const Folder& folder, const std::string& from, const std::string& to, bool replace);

// Gives the written file `from`, still open as `handle`, the name `to`, replacing an
// existing `to` in one step. Windows renames through the handle, which no other program's
// hold on the name `from` can disturb; POSIX renames by name.
SystemStatus RenameWritten(const Folder& folder, intptr_t handle, const std::string& from, const std::string& to);

// Returns once the rename that gave `name` its file (still open as `handle`) is on stable
// storage.
SystemStatus SyncRename(const Folder& folder, intptr_t handle, const std::string& name);

// Removes the written file `name`, open as `handle`, that is not to be put in place, and
// closes the handle: through the handle where the platform can, which no other program that
// holds the file for a moment can refuse, else by name.
void DiscardWritten(const Folder& folder, intptr_t handle, const std::string& name);

// --- Removing a file only while it is what was read.

// Whether a file is renamed aside to a name of the tool's own before it is held for its
// removal. POSIX has no sharing modes: only a name nobody else knows keeps other programs
// from writing to the file by its name meanwhile. Windows holds the file by its own name
// through a handle that shares nothing a writer needs (and its file IDs may change with a
// rename, as on FAT).
extern const bool kRenamesAsideForRemoval;

// Opens `name` so that it can be compared and removed, and so that no other program can
// start writing to it meanwhile. Fails with EBUSY while another program has it open for
// writing, where the platform can tell. A symbolic link is held itself, also one whose file
// is gone.
SystemResult<intptr_t> HoldForRemoval(const Folder& folder, const std::string& name);

// The state of the held file `name`; for a symbolic link, that of the file it points to,
// which is what was read through it: ENOENT when that file is gone.
SystemResult<FileState> StateOfHeld(const Folder& folder, const std::string& name, intptr_t handle);

// Removes `name`, held by HoldForRemoval(), so that the name is gone at once. ENOTSUP where
// the system has no such removal: a held file would then linger "delete pending" while
// another program reads it, and HoldAlone() and RemoveAlone() take over.
SystemStatus RemoveHeld(const Folder& folder, const std::string& name, intptr_t handle);

// Opens `name` shared with no other program at all: fails with EBUSY while any has it open.
SystemResult<intptr_t> HoldAlone(const Folder& folder, const std::string& name);

// Removes the file held by HoldAlone(); the name is gone once the handle is released.
SystemStatus RemoveAlone(intptr_t handle);

void ReleaseHeld(intptr_t handle);

}  // namespace acqsort::detail
