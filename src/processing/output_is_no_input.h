#pragma once

#include <string>

#include "config/acq_config.h"
#include "common/failure.h"

namespace acqsort {

// Fails, naming `output`, when it is the same file as one of the run's inputs (the
// configuration, the ACQ file or a part), however it is reached: a hard link, a symbolic
// link, a folder link. Replacing it would take an input's name away from under the run.
Outcome CheckOutputIsNoInput(const AcqConfig& config, const std::string& output);

}  // namespace acqsort
