#pragma once

// What the platform files of the file layer share; not for use outside the layer.

#include <string>

namespace acqsort::detail {

// A failure's reason: what could not be done and the C runtime's text for `error`, the
// same words on every platform.
std::string Reason(const char* what, int error);

// Opens `path` for reading only. Returns -1 with errno set on failure; a folder fails
// with EISDIR, since it is no data file.
int OpenForReading(const std::string& path);

}  // namespace acqsort::detail
