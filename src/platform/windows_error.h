#pragma once

// Windows only: the one mapping from the system's error codes to the errno values whose
// words the report uses on every platform.

#include <string>

namespace acqsort {

// The errno value with the meaning of the system error code `error`; for a code that has
// none, the code itself, negated, so that its own words can still be given.
int ErrnoFromSystemError(unsigned long error);

// The words for what ErrnoFromSystemError() gave: the C runtime's for an errno value, but
// for EBUSY, which on Windows stands for a file that another program holds open; for any
// other code the system's own text with its number ("The device is not ready. (Windows
// error 21)").
std::string WindowsErrorWords(int error);

}  // namespace acqsort
