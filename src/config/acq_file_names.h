#pragma once

#include <string>

#include "config/acq_config.h"
#include "common/failure.h"

namespace acqsort {

// Refuses, naming `configPath`, a configuration whose names are unsafe to build the run's
// files from: a name shorter than four characters (the tags would land in the "ACQ\"
// folder), absolute, stepping out of the ACQ folder, holding a character that Windows
// forbids, or with a component in any of the six files the run opens that Windows would
// read as a device or strip (a trailing dot or blank). Both platforms refuse the same names.
Outcome CheckAcqFileNames(const AcqConfig& config, const std::string& configPath);

}  // namespace acqsort
