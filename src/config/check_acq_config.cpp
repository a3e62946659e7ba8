#include "config/check_acq_config.h"

#include <cstdio>
#include <string_view>

#include "config/read_acq_config.h"

namespace acqsort {

namespace {

// The name as a reader can see it: control characters are shown as \xNN.
std::string Shown(std::string_view name) {
  std::string shown = "\"";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown + "\"";
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAbsolute(std::string_view name) {
  if (!name.empty() && IsSeparator(name[0])) return true;
  bool driveLetter = name.size() >= 2 && ((name[0] >= 'A' && name[0] <= 'Z') ||
                                          (name[0] >= 'a' && name[0] <= 'z'));
  return driveLetter && name[1] == ':';
}

// "..", and any longer run of dots alone, which Windows may read as a step up too.
bool HasParentStep(std::string_view name) {
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    std::string_view component = name.substr(start, end - start);
    if (component.size() >= 2 && component.find_first_not_of('.') == std::string_view::npos) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

bool IsForbidden(unsigned char c) {
  return c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
         c == '*';
}

}  // namespace

std::string CheckAcqConfig(const AcqConfig& config) {
  std::string_view name = config.acqFile;
  name.remove_prefix(std::string_view(kAcqFolderPrefix).size());
  if (name.size() < 4) {
    return "has the name " + Shown(name) + ", shorter than four characters";
  }
  if (IsAbsolute(name)) {
    return "has the name " + Shown(name) + ", an absolute path: it must lie in the ACQ folder";
  }
  if (HasParentStep(name)) {
    return "has the name " + Shown(name) + ", which steps out of the ACQ folder with \"..\"";
  }
  for (unsigned char c : name) {
    if (!IsForbidden(c)) continue;
    std::string reason = "has the name " + Shown(name) + ", which holds a character that file names can't hold";
    if (c == ':' || c == '"') reason += " (is there a blank between the colon and the opening quote?)";
    return reason;
  }
  return std::string();
}

Result<AcqConfig> LoadAcqConfig(const std::string& path) {
  Result<AcqConfigReading> reading = ReadAcqConfig(path);
  if (!reading.ok()) return reading.failure();
  if (!reading.value().fault.empty()) return Failure{path, reading.value().fault};
  std::string refusal = CheckAcqConfig(reading.value().config);
  if (!refusal.empty()) return Failure{path, refusal};
  return reading.value().config;
}

}  // namespace acqsort
