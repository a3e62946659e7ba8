#pragma once

// POSIX only: the one loop that writes a whole buffer to a descriptor, shared by the file
// layer and the console.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "platform/system_error.h"

namespace acqsort::detail {

// Writes all `size` bytes, continuing after a short write and waiting while a non-blocking
// descriptor (a standard output set so by another program) is full. A write that makes no
// progress is a full device. Nothing is retried on EINTR, which no handler of this tool
// causes (file_system_posix.cpp).
inline SystemStatus WriteAllTo(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK) return SystemError::FromSystem(errno);
      pollfd ready{fd, POLLOUT, 0};
      if (::poll(&ready, 1, -1) < 0) return SystemError::FromSystem(errno);
      continue;
    }
    if (n == 0) return SystemError::Of(ENOSPC);
    data += n;
    size -= static_cast<size_t>(n);
  }
  return {};
}

}  // namespace acqsort::detail
