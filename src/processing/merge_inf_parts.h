#pragma once

#include <array>

#include "config/acq_config.h"
#include "platform/console.h"
#include "platform/failure.h"
#include "platform/file_system.h"

namespace acqsort {

// The headers that number the three parts in the merged file.
inline constexpr const char* kPartHeaders[3] = {
    "#ACQ 1th part\n",
    "\n\n\n#ACQ 2nd part\n",
    "\n\n\n#ACQ 3rd part\n",
};

// What the merge read of each part: a part may be removed only while it is still exactly that.
using MergedParts = std::array<FileIdentity, 3>;

// Joins the three part files, each behind its header, into `infFile`. All three parts are
// opened before anything is written, and the merged file replaces the old one only once it
// is completely written and on stable storage: the part files may be removed only after
// this has succeeded.
Result<MergedParts> MergeInfParts(const AcqConfig& config, Console& console);

}  // namespace acqsort
