#pragma once

// The one system call behind the console, implemented once per platform; not for use
// outside platform/console.cpp.

#include <string_view>

#include "platform/system_error.h"

namespace acqsort::detail {

enum class StandardStream { kOutput, kError };

// Writes `line` and the platform's newline to the stream, all of it or an error; EBADF when
// the process has no such stream at all.
SystemStatus WriteLineTo(StandardStream stream, std::string_view line);

}  // namespace acqsort::detail
