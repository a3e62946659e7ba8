#include "testing/allocation.h"

#include <windows.h>

#include "platform/windows_text.h"

namespace acqsort::testutil {

long long AllocatedBytes(const std::string& path) {
  HANDLE handle = CreateFileW(WideFromNarrow(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  FILE_STANDARD_INFO info{};
  const bool known = GetFileInformationByHandleEx(handle, FileStandardInfo, &info, sizeof info) != 0;
  CloseHandle(handle);
  return known ? info.AllocationSize.QuadPart : -1;
}

}  // namespace acqsort::testutil
