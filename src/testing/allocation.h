#pragma once

#include <string>

namespace acqsort::testutil {

// How many bytes the file system holds on disk for the file at `path`; -1 when it can't tell.
long long AllocatedBytes(const std::string& path);

}  // namespace acqsort::testutil
