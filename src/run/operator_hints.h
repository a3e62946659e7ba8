#pragma once

// What an operator who meets an error line most likely did, said on a second line: the
// tool started in the wrong folder, a name that an editor or Explorer changed, a run
// repeated after the parts were merged and removed.

#include <string>

#include "config/acq_config.h"
#include "common/failure.h"

namespace acqsort {

// For a configuration that could not be read: when it is missing, the working directory in
// full and any near miss beside it; else "".
std::string MissingConfigurationHint();

// For a merge that stopped at `failure`: when a part is missing but the merged file is
// there, that an earlier run may have merged and removed the parts; else "".
std::string MissingPartHint(const AcqConfig& config, const Failure& failure);

}  // namespace acqsort
