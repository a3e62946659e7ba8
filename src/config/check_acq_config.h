#pragma once

#include <string>

#include "config/acq_config.h"
#include "platform/failure.h"

namespace acqsort {

// Why the run must not use `config`, or an empty text. The configured name must be safe
// to build file names from: at least four characters (so that the tags land inside the
// name, not in the "ACQ\" folder), relative, inside the ACQ folder, and free of the
// characters that Windows forbids in file names.
std::string CheckAcqConfig(const AcqConfig& config);

// Reads the configuration file at `path` and refuses it when the reading found a fault or
// the check above does. Nothing has been created or changed when it fails.
Result<AcqConfig> LoadAcqConfig(const std::string& path);

}  // namespace acqsort
