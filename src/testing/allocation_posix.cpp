#include "testing/allocation.h"

#include <sys/stat.h>

namespace acqsort::testutil {

long long AllocatedBytes(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_blocks) * 512 : -1;
}

}  // namespace acqsort::testutil
