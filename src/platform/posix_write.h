#pragma once

// POSIX only: the one loop that writes a whole buffer to a descriptor, shared by the file
// layer and the console.

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace acqsort::detail {

// Writes all `size` bytes, continuing after a short write and retrying on EINTR. Returns 0,
// or the errno value of the failure.
inline int WriteAllTo(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace acqsort::detail
