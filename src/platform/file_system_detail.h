#pragma once

// What the platform files of the file layer share; not for use outside the layer.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/failure.h"
#include "platform/file_system.h"

namespace acqsort::detail {

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
Result<FileIdentity> IdentityOf(intptr_t handle, const std::string& path);

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

// A short name for the `attempt`-th temporary file of this process in the folder of
// `target`: it does not grow with the target's name, and it ends in kTemporarySuffix.
std::string TemporaryPathFor(const std::string& target, unsigned attempt);

// This process's id, which keeps the temporary names of concurrent runs apart.
unsigned long ProcessId();

}  // namespace acqsort::detail
