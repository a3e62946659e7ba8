#pragma once

// Windows only: the one rule by which the tool's narrow texts (names, report lines) become
// the wide characters that Windows' functions take.

#include <string>
#include <string_view>

namespace acqsort {

// `text` as UTF-16: read as UTF-8 where it is valid UTF-8, else in the system's ANSI code
// page, one byte a character.
std::wstring WideFromNarrow(std::string_view text);

// The long form of a full path (as GetFullPathNameW gives it), which Windows takes past
// MAX_PATH: \\?\C:\... for a drive, \\?\UNC\server\share\... for a share. A path in a
// long form already (\\?\C:\... or \\?\UNC\..., as a working directory can be) and a device
// path (\\.\...) stay as they are.
std::wstring LongPathOf(const std::wstring& full);

// The path as printed ("ACQ\data.txt", relative to the working directory) in the form that
// every Win32 call of the tool takes: full and long.
std::wstring NativePath(const std::string& path);

}  // namespace acqsort
