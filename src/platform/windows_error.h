#pragma once

// Windows only: the one mapping from the system's error codes to the errno values whose
// words the report uses on every platform.

#include <string>

namespace acqsort {

// The errno value with the meaning of the system error code `error`; EIO for a code that
// has none.
int ErrnoFromSystemError(unsigned long error);

// The words for an errno value: the C runtime's, but for EBUSY, which on Windows stands for
// a file that another program holds open.
std::string WindowsErrorWords(int error);

}  // namespace acqsort
