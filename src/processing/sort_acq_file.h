#pragma once

#include "config/acq_config.h"
#include "platform/console.h"
#include "common/failure.h"
#include "platform/file_system.h"

namespace acqsort {

// Writes the lines of `acqFile` whose sequence numbers lie from `firstSeq` to `lastSeq` to
// `sortedFile`, in ascending order of their numbers, one line per number (the last line
// read wins), each ending with a newline. The sorted file, in `folder`, is replaced only
// once it is completely written and on disk; then the stage reports it.
Outcome SortAcqFile(const AcqConfig& config, const Folder& folder, Console& console);

}  // namespace acqsort
