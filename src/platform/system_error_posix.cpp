// System errors on POSIX platforms: errno is the meaning, and the C runtime has the words.

#include <cstring>
#include <string>

#include "platform/system_error.h"

namespace acqsort {

SystemError SystemError::FromSystem(unsigned long code) {
  return SystemError(static_cast<int>(code), code);
}

std::string SystemError::Words() const { return std::strerror(meaning_); }

}  // namespace acqsort
