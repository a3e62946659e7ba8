#pragma once

#include "config/acq_config.h"
#include "platform/console.h"
#include "platform/failure.h"

namespace acqsort {

// The headers that number the three parts in the merged file.
inline constexpr const char* kPartHeaders[3] = {
    "#ACQ 1th part\n",
    "\n\n\n#ACQ 2nd part\n",
    "\n\n\n#ACQ 3rd part\n",
};

// Joins the three part files, each behind its header, into `infFile`. All three parts are
// opened before anything is written, and the merged file replaces the old one only once it
// is completely written and on stable storage: the part files may be removed only after
// this has succeeded.
Outcome MergeInfParts(const AcqConfig& config, Console& console);

}  // namespace acqsort
