#include "run/operator_hints.h"

#include <cctype>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace acqsort {

namespace {

bool Exists(const std::string& path) {
  Result<std::optional<FileIdentity>> identity = IdentityAt(path);
  return identity.ok() && identity.value().has_value();
}

bool SameLettersIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The name in `folder` that differs from `wanted` only in case (a file system that tells
// case apart), or "".
std::string OtherCaseOf(const std::string& folder, std::string_view wanted) {
  for (const std::string& name : NamesIn(folder)) {
    if (name != wanted && SameLettersIgnoringCase(name, wanted)) return name;
  }
  return std::string();
}

}  // namespace

std::string MissingConfigurationHint() {
  const std::string configuration = kAcqConfigPath;
  if (Exists(configuration)) return std::string();
  std::string hint = "acqsort: there is no " + configuration + " in the working directory " +
                     WorkingDirectory() + "; start acqsort in the folder that holds CONFIG and ACQ";
  // Explorer hides a known extension: "ACQ.config" saved by Notepad is "ACQ.config.txt".
  if (Exists(configuration + ".txt")) {
    return hint + " (there is a " + configuration + ".txt: rename it to ACQ.config; Explorer may hide its .txt)";
  }
  std::string folder = "CONFIG";
  if (!Exists(folder)) {
    const std::string other = OtherCaseOf("", "CONFIG");
    if (other.empty()) return hint;
    hint += " (there is a folder " + other + ": the name must be CONFIG";
    folder = other;
  } else {
    hint += " (";
  }
  const std::string file = OtherCaseOf(folder, "ACQ.config");
  if (!file.empty()) {
    hint += std::string(hint.back() == '(' ? "" : "; ") + "there is a file " + folder + "\\" + file +
            ": the name must be ACQ.config";
  }
  if (hint.back() == '(') return hint.substr(0, hint.size() - 2);
  return hint + ")";
}

std::string MissingPartHint(const AcqConfig& config, const Failure& failure) {
  const bool aPart = failure.file == config.inf1File || failure.file == config.inf2File ||
                     failure.file == config.inf3File;
  if (!aPart || Exists(failure.file) || !Exists(config.infFile)) return std::string();
  return "acqsort: " + failure.file + " is missing, but " + config.infFile +
         " is there: an earlier run may have merged the parts into it and removed them";
}

}  // namespace acqsort
