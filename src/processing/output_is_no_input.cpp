#include "processing/output_is_no_input.h"

#include <optional>

#include "platform/file_system.h"

namespace acqsort {

Outcome CheckOutputIsNoInput(const AcqConfig& config, const std::string& output) {
  Result<std::optional<FileState>> target = StateAt(output);
  if (!target.ok()) return target.failure();
  if (!target.value()) return {};  // a new file is no input
  const std::string configPath = kAcqConfigPath;
  for (const std::string* input : {&configPath, &config.acqFile, &config.inf1File,
                                   &config.inf2File, &config.inf3File}) {
    Result<std::optional<FileState>> state = StateAt(*input);
    if (!state.ok()) return state.failure();
    if (state.value() && state.value()->SameFile(*target.value())) {
      return Failure{output, "can't be replaced: it is the same file as " + *input};
    }
  }
  return {};
}

}  // namespace acqsort
