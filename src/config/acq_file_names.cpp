#include "config/acq_file_names.h"

#include <cstdio>
#include <utility>
#include <vector>
#include <string_view>

#include "common/same_letters.h"
#include "common/utf8.h"

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

// Splits `path` at its separators; the empty text between two separators is a component too.
std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> components;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      components.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return components;
}

// The device that Windows opens in place of a file with this name component, or an empty
// text. Windows looks only at what comes before the first dot, without trailing blanks.
std::string ReservedDeviceName(std::string_view component) {
  std::string_view stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (SameLettersIgnoringCase(stem, device)) return std::string(stem);
  }
  // COM0 to COM9 and LPT0 to LPT9, and with a superscript 1, 2 or 3 (in Windows-1252 or UTF-8).
  if (stem.size() < 4 || !(SameLettersIgnoringCase(stem.substr(0, 3), "COM") || SameLettersIgnoringCase(stem.substr(0, 3), "LPT"))) {
    return std::string();
  }
  std::string_view number = stem.substr(3);
  const bool digit = number.size() == 1 && number[0] >= '0' && number[0] <= '9';
  bool superscript = false;
  for (const char* one : {"\xB9", "\xB2", "\xB3", "\xC2\xB9", "\xC2\xB2", "\xC2\xB3"}) {
    superscript = superscript || number == one;
  }
  return digit || superscript ? std::string(stem) : std::string();
}

bool IsForbidden(unsigned char c) {
  return c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
         c == '*';
}

// Why a name component of `file` can't name a file on Windows, or an empty text.
std::string ComponentFault(std::string_view name, std::string_view file, const char* role) {
  std::string subject = "has the name " + Shown(name);
  if (role != nullptr) subject += ", which makes the " + std::string(role) + " " + Shown(file);
  for (std::string_view component : Components(file)) {
    std::string device = ReservedDeviceName(component);
    if (!device.empty()) {
      return subject + ": " + Shown(device) + " is a name that Windows keeps for a device";
    }
    if (component == ".." || component.empty()) continue;  // refused, or harmless, elsewhere
    if (component.back() == '.') {
      return subject + ": its part " + Shown(component) + " ends in a dot, which Windows drops";
    }
    if (component.back() == ' ') {
      std::string fault = subject + ": its part " + Shown(component) + " ends in a blank, which Windows drops";
      if (!name.empty() && name.back() == ' ') fault += " (is there a blank before the closing quote?)";
      return fault;
    }
  }
  return std::string();
}

std::string NameFault(const AcqConfig& config) {
  std::string_view name = config.acqFile;
  name.remove_prefix(std::string_view(kAcqFolderPrefix).size());
  if (CountCharacters(name) < 4) {
    return "has the name " + Shown(name) + ", shorter than four characters";
  }
  if (IsAbsolute(name)) {
    return "has the name " + Shown(name) + ", an absolute path: it must lie in the ACQ folder";
  }
  if (IsSeparator(name.back())) {
    return "has the name " + Shown(name) + ", which ends in a separator: it must name a file";
  }
  // The tags go in front of the last four characters of the whole path: a shorter last
  // part would put them into a folder's name ("p\xyz" would make "ACQ\pR\xyz").
  const std::string_view last = Components(name).back();
  if (CountCharacters(last) < 4) {
    return "has the name " + Shown(name) + ", whose last part " + Shown(last) +
           " is shorter than four characters";
  }
  for (std::string_view component : Components(name)) {
    if (component == "..") {
      return "has the name " + Shown(name) + ", which steps out of the ACQ folder with \"..\"";
    }
  }
  for (unsigned char c : name) {
    if (!IsForbidden(c)) continue;
    std::string reason = "has the name " + Shown(name) + ", which holds a character that file names can't hold";
    if (c == ':' || c == '"') reason += " (is there a blank between the colon and the opening quote?)";
    return reason;
  }
  // Every file the run opens, derived names included: a tag can complete a device name.
  const std::pair<const std::string*, const char*> files[] = {
      {&config.acqFile, nullptr},          {&config.sortedFile, "sorted file"},
      {&config.infFile, "merged file"},    {&config.inf1File, "part file"},
      {&config.inf2File, "part file"},     {&config.inf3File, "part file"},
  };
  for (const auto& [file, role] : files) {
    std::string fault = ComponentFault(name, *file, role);
    if (!fault.empty()) return fault;
  }
  return std::string();
}

}  // namespace

Outcome CheckAcqFileNames(const AcqConfig& config, const std::string& configPath) {
  std::string fault = NameFault(config);
  if (!fault.empty()) return Failure{configPath, fault};
  return {};
}

}  // namespace acqsort
