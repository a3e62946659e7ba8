#include "platform/win32_calls.h"

namespace acqsort {

Win32Calls& Win32() {
#define ACQSORT_WIN32_REAL(name) &::name,
  static Win32Calls calls{ACQSORT_WIN32_CALLS(ACQSORT_WIN32_REAL)};
#undef ACQSORT_WIN32_REAL
  return calls;
}

}  // namespace acqsort
