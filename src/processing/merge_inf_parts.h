#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "config/acq_config.h"
#include "platform/console.h"
#include "common/failure.h"
#include "platform/file_system.h"

namespace acqsort {

// The headers that number the three parts in the merged file, as they stand on disk: the
// newlines are written as they are, never joined with a CR that ends the part before.
inline constexpr const char* kPartHeaders[3] = {
    "#ACQ 1th part\r\n",
    "\r\n\r\n\r\n#ACQ 2nd part\r\n",
    "\r\n\r\n\r\n#ACQ 3rd part\r\n",
};

// What the merge read of each part, as it was when it was opened: a part may be removed only
// while it is still exactly that.
using MergedPartStates = std::array<FileState, 3>;

// Whether `merged`, the content of a merged file, holds `part` (the content of part
// `index`, 0 to 2) byte for byte as the merge writes it, in its place behind its header:
// whether a part left over by an interrupted removal is safely in the merged file.
bool MergedFileHoldsPart(std::string_view merged, size_t index, std::string_view part);

// Joins the three part files, each behind its header, into `infFile` in `folder`. All three
// parts are opened before anything is written; a part that can't be opened stops the merge
// (with a note when an earlier run seems to have merged and removed it), and so does a part
// that another program changes while it is read. The merged file replaces the old one only once it is
// completely written and on stable storage: the part files may be removed only after this
// has succeeded.
Result<MergedPartStates> MergeInfParts(const AcqConfig& config, const Folder& folder, Console& console);

}  // namespace acqsort
