#pragma once

// The system calls behind the file layer, one small function each, implemented once per
// platform; not for use outside the layer. Every order that matters to the data is kept by
// file_system.cpp, never here.
//
// A function that can fail returns an error code: 0 for success, else the errno value of
// the failure. Windows' codes are given as the errno value with the same meaning, so that
// the shared code can tell "not found" (ENOENT) and "taken" (EEXIST) on every platform.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/failure.h"
#include "platform/file_system.h"

namespace acqsort::detail {

// The platform's words for an error code.
std::string ErrorText(int error);

// A failure of `what` on `file`, in the platform's words: "can't be read: I/O error".
inline Failure FailureOf(const std::string& file, const char* what, int error) {
  return Failure{file, std::string(what) + ": " + ErrorText(error)};
}

// The reason given for a pipe, a device or a socket where a data file belongs.
std::string NotARegularFileReason(const char* what);

// Opens the regular file at `path` for reading only, without ever waiting for a writer;
// a folder fails with EISDIR's text, any other kind of file with NotARegularFileReason.
Result<intptr_t> OpenRegularForReading(const std::string& path);

// Reads up to `capacity` bytes into `buffer`; 0 means the end of the file.
Result<size_t> ReadSome(intptr_t handle, const std::string& path, char* buffer, size_t capacity);

// The size the file has now, or 0 when the platform can't tell.
uint64_t CurrentSize(intptr_t handle);

// The identity of the open file, with its size as the platform reports it.
int IdentityOf(intptr_t handle, FileIdentity& identity);

// The identity of the file at `path`, through any links; ENOENT when nothing is there.
int IdentityAtPath(const std::string& path, FileIdentity& identity);

void Close(intptr_t handle);

// A whole file mapped for reading: where it starts, Windows' mapping object (-1 elsewhere),
// and the flag that its guard sets when a part of it vanishes.
struct Mapping {
  const char* base;
  intptr_t object;
  const std::atomic<bool>* lost;
};

// Maps the first `size` bytes (more than 0) of the open file for reading, guarded against
// the file shrinking under the mapping. One file at a time.
Result<Mapping> MapForReading(intptr_t handle, size_t size, const std::string& path);

// Undoes MapForReading.
void Unmap(const char* base, size_t size, intptr_t object);

// This process's id, which keeps the temporary names of concurrent runs apart.
unsigned long ProcessId();

// --- Folders and the names in them. `name` is a single name inside the folder.

int OpenFolder(const std::string& path, intptr_t& handle);
void CloseFolder(intptr_t handle);

// What a name of a folder holds, as far as replacing it goes. A symbolic link is looked at
// itself, not followed.
struct Existing {
  std::string name;  // the name looked at
  bool found = false;
  bool folder = false;
  bool regular = false;
  int writeError = 0;  // why the file may not be written (EACCES for write protection); 0: it may
  bool readOnly = false;  // no user may write it (POSIX: no write bit; Windows: the attribute)
  uint32_t mode = 0;   // POSIX permission bits
  uint32_t owner = 0;  // POSIX user and group ids
  uint32_t group = 0;
  uint32_t attributes = 0;  // Windows file attributes
};
// Not found is no failure (found stays false); any other failure to look is.
int LookUp(const Folder& folder, const std::string& name, Existing& existing);

// Creates `name`, which must not exist yet (EEXIST), for writing, with what it must keep
// of `replaced` (its permission bits, owner and group) from the start.
int CreateNew(const Folder& folder, const std::string& name, const Existing& replaced,
              intptr_t& handle);

// Writes all of `size` bytes; a write that makes no progress is a full disk.
int WriteAll(intptr_t handle, const char* data, size_t size);

// Asks the system to start writing the file's data to disk now, so that SyncData() waits
// only for the tail; only a request, where the platform has one.
void StartWriteback(intptr_t handle);

// Returns once the file's data is on stable storage.
int SyncData(intptr_t handle);

// Closes a file that was written; the error of a write that failed late shows here.
int CloseWritten(intptr_t handle);

// Gives `from` the name `to`. With `replace`, an existing `to` is replaced in one step;
// without, it is left alone and the call fails with EEXIST.
int Rename(const Folder& folder, const std::string& from, const std::string& to, bool replace);

// Gives the written file `from`, still open as `handle`, the name `to`, replacing an
// existing `to` in one step. Windows renames through the handle, which no other program's
// hold on the name `from` can disturb; POSIX renames by name.
int RenameWritten(const Folder& folder, intptr_t handle, const std::string& from, const std::string& to);

// Returns once the rename that gave `name` its file (still open as `handle`) is on stable
// storage.
int SyncRename(const Folder& folder, intptr_t handle, const std::string& name);

// Removes the written file `name`, open as `handle`, that is not to be put in place, and
// closes the handle: through the handle where the platform can, which no other program that
// holds the file for a moment can refuse, else by name.
void DiscardWritten(const Folder& folder, intptr_t handle, const std::string& name);

// Removes the name.
int Remove(const Folder& folder, const std::string& name);

// --- Removing a file only while it is what was read.

// Whether a file is renamed aside to a name of the tool's own before it is held for its
// removal. POSIX has no sharing modes: only a name nobody else knows keeps other programs
// from writing to the file by its name meanwhile. Windows holds the file by its own name
// through a handle that shares nothing a writer needs (and its file IDs may change with a
// rename, as on FAT).
extern const bool kRenamesAsideForRemoval;

// Opens `name` so that it can be compared and removed, and so that no other program can
// start writing to it meanwhile. Fails with EBUSY while another program has it open for
// writing, where the platform can tell. A symbolic link is held itself.
int HoldForRemoval(const Folder& folder, const std::string& name, intptr_t& handle);

// The identity of the held file `name`; for a symbolic link, that of the file it points to,
// which is what was read through it.
int IdentityOfHeld(const Folder& folder, const std::string& name, intptr_t handle, FileIdentity& identity);

// Removes `name`, held by HoldForRemoval(), so that the name is gone at once. ENOTSUP where
// the system has no such removal: a held file would then linger "delete pending" while
// another program reads it, and HoldAlone() and RemoveAlone() take over.
int RemoveHeld(const Folder& folder, const std::string& name, intptr_t handle);

// Opens `name` shared with no other program at all: fails with EBUSY while any has it open.
int HoldAlone(const Folder& folder, const std::string& name, intptr_t& handle);

// Removes the file held by HoldAlone(); the name is gone once the handle is released.
int RemoveAlone(intptr_t handle);

void ReleaseHeld(intptr_t handle);

}  // namespace acqsort::detail
