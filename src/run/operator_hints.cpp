#include "run/operator_hints.h"

#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "common/same_letters.h"
#include "platform/file_system.h"
#include "processing/merge_inf_parts.h"

namespace acqsort {

namespace {

bool Exists(const std::string& path) {
  Result<std::optional<FileState>> state = StateAt(path);
  return state.ok() && state.value().has_value();
}

}  // namespace

std::string MissingConfigurationHint() {
  const std::string configuration = kAcqConfigPath;
  if (Exists(configuration)) return std::string();
  const std::string hint = "acqsort: there is no " + configuration + " in the working directory " +
                           WorkingDirectory() + "; start acqsort in the folder that holds CONFIG and ACQ";
  // Explorer hides a known extension: "ACQ.config" saved by Notepad is "ACQ.config.txt".
  if (Exists(configuration + ".txt")) {
    return hint + " (there is a " + configuration + ".txt: rename it to ACQ.config; Explorer may hide its .txt)";
  }
  // A file system that tells case apart: "config/acq.config" is not "CONFIG\ACQ.config".
  std::vector<std::string> folders;
  if (Exists("CONFIG")) folders.push_back("CONFIG");
  for (const std::string& name : NamesIn("")) {
    if (name != "CONFIG" && SameLettersIgnoringCase(name, "CONFIG")) folders.push_back(name);
  }
  for (const std::string& folder : folders) {
    for (const std::string& name : NamesIn(folder)) {
      if (SameLettersIgnoringCase(name, "ACQ.config")) {
        return hint + " (there is a " + folder + "\\" + name + ": the names must be CONFIG\\ACQ.config, in these capitals)";
      }
    }
  }
  return hint;
}

std::string MissingPartHint(const AcqConfig& config, const Failure& failure) {
  const std::string* parts[] = {&config.inf1File, &config.inf2File, &config.inf3File};
  const bool aPart = failure.file == config.inf1File || failure.file == config.inf2File ||
                     failure.file == config.inf3File;
  if (!aPart || Exists(failure.file) || !Exists(config.infFile)) return std::string();
  std::string hint = "acqsort: " + failure.file + " is missing, but " + config.infFile +
                     " is there: an earlier run may have merged the parts into it and removed them";
  // A run stopped between two removals leaves the later parts; each is said safe to delete
  // only when the merged file holds it byte for byte. Nothing is deleted here.
  std::optional<Result<std::string>> merged;
  for (size_t i = 0; i < std::size(parts); ++i) {
    if (*parts[i] == failure.file || !Exists(*parts[i])) continue;
    if (!merged) merged = ReadWholeFile(config.infFile);
    Result<std::string> part = ReadWholeFile(*parts[i]);
    hint += "; " + *parts[i] + " is still there";
    if (!merged->ok() || !part.ok()) {
      const Failure& unread = merged->ok() ? part.failure() : merged->failure();
      hint += ", and whether the merged file holds it can't be told: " + unread.file + " " + unread.reason;
    } else if (MergedFileHoldsPart(merged->value(), i, part.value())) {
      hint += ", and the merged file holds it byte for byte: it may be deleted";
    } else {
      hint += ", and the merged file does not hold it as it is now: keep it";
    }
  }
  return hint;
}

}  // namespace acqsort
