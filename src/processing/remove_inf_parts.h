#pragma once

#include <string>

#include "config/acq_config.h"
#include "platform/console.h"
#include "common/failure.h"
#include "platform/file_system.h"
#include "processing/merge_inf_parts.h"

namespace acqsort {

// Removes the three part files from `folder`, in order, once the merge holds their content,
// each only while it is still exactly what the merge read and no other program writes to
// it. A part that does not exist is passed over without a word (another run may have
// removed it); each removal, or its failure, gets a line. A part that changed since the
// merge, that another program still writes to, or that can't be removed or even looked at
// stays in place and does not stop the others.
void RemoveInfParts(const AcqConfig& config, const MergedPartStates& merged, const Folder& folder,
                    Console& console);

}  // namespace acqsort
