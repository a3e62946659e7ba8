#pragma once

// Windows only: every Win32 call of the platform layer that can fail on a file, a volume or
// the console goes through this table, so that a test build can fail each in turn with the
// codes real Windows gives (SQLite keeps its calls in such a table, aSyscall in os_win.c).
// The shipped executable never changes it.

#include <windows.h>
#include <aclapi.h>

namespace acqsort {

#define ACQSORT_WIN32_CALLS(X)                                                                   \
  X(CreateFileW) X(ReadFile) X(WriteFile) X(FlushFileBuffers) X(CloseHandle)                     \
  X(GetFileInformationByHandle) X(GetFileInformationByHandleEx) X(SetFileInformationByHandle)    \
  X(GetFileSizeEx) X(GetFileType) X(GetFileAttributesW) X(DeleteFileW) X(MoveFileExW)            \
  X(CreateFileMappingW) X(MapViewOfFile) X(GetFullPathNameW) X(GetNamedSecurityInfoW)            \
  X(GetStdHandle) X(GetConsoleMode) X(WriteConsoleW)

struct Win32Calls {
#define ACQSORT_WIN32_SLOT(name) decltype(&::name) name;
  ACQSORT_WIN32_CALLS(ACQSORT_WIN32_SLOT)
#undef ACQSORT_WIN32_SLOT
};

// The calls in use: the system's own, unless a test build has put others in their place
// before main() runs.
Win32Calls& Win32();

}  // namespace acqsort
