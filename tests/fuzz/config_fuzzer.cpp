// Fuzzes the configuration reader: no input may crash it, and whatever it accepts must be
// safe to build file names from. The properties are checked independently of the reader's
// own rules: the accepted names are resolved as Windows would resolve them.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "config/read_acq_config.h"
#include "testing/recording_console.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// The components of `path` as Windows resolves it: either slash separates, trailing dots
// and blanks are dropped from a component, "." stays and ".." steps up. Returns false when
// a step leaves the starting folder.
bool ResolveAsWindows(std::string_view path, std::vector<std::string>& resolved) {
  std::string component;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '\\' && path[i] != '/') {
      component += path[i];
      continue;
    }
    if (component == "..") {
      if (resolved.empty()) return false;
      resolved.pop_back();
    } else if (component != ".") {
      while (!component.empty() && (component.back() == '.' || component.back() == ' ')) component.pop_back();
      if (!component.empty()) resolved.push_back(component);
    }
    component.clear();
  }
  return true;
}

bool NamesADevice(const std::string& component) {
  std::string stem;
  for (char c : component) {
    if (c == '.') break;
    stem += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
         std::isdigit(static_cast<unsigned char>(stem[3]));
}

// `derived` is `acqFile` with `tag` inserted at `at`.
bool TagInsertedAt(const std::string& acqFile, const std::string& derived, std::string_view tag, size_t at) {
  return derived.size() == acqFile.size() + tag.size() && derived.compare(0, at, acqFile, 0, at) == 0 &&
         derived.compare(at, tag.size(), tag) == 0 && derived.compare(at + tag.size(), std::string::npos, acqFile, at) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace acqsort;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  testutil::RecordingConsole warnings;
  Result<AcqConfig> read = ParseAcqConfig(text, kAcqConfigPath, warnings);
  if (!read.ok()) {
    Require(read.failure().file == kAcqConfigPath && !read.failure().reason.empty());
    return 0;
  }
  const AcqConfig& config = read.value();

  // The tags all stand in one place, and every derived name is the ACQ file's name again
  // once its tag is taken out. (A name may allow more than one place for one tag: "xR.txt"
  // gives "xRR.txt" either way.)
  bool onePlace = false;
  for (size_t at = 0; at <= config.acqFile.size() && !onePlace; ++at) {
    onePlace = TagInsertedAt(config.acqFile, config.sortedFile, "R", at) &&
               TagInsertedAt(config.acqFile, config.infFile, "INF", at) &&
               TagInsertedAt(config.acqFile, config.inf1File, "INF1", at) &&
               TagInsertedAt(config.acqFile, config.inf2File, "INF2", at) &&
               TagInsertedAt(config.acqFile, config.inf3File, "INF3", at);
  }
  Require(onePlace);

  // Every file the run opens lies inside ACQ, is named as written (Windows strips nothing
  // from it), holds no character that Windows forbids and names no device.
  for (const std::string* path : {&config.acqFile, &config.infFile, &config.inf1File,
                                  &config.inf2File, &config.inf3File, &config.sortedFile}) {
    std::vector<std::string> resolved;
    Require(ResolveAsWindows(*path, resolved));
    Require(resolved.size() >= 2 && resolved[0] == "ACQ");
    const size_t lastSeparator = path->find_last_of("\\/");
    Require(resolved.back() == path->substr(lastSeparator + 1));
    for (const std::string& component : resolved) Require(!NamesADevice(component));
    for (unsigned char c : *path) {
      Require(c >= 0x20 && c != ':' && c != '"' && c != '<' && c != '>' && c != '|' && c != '?' && c != '*');
    }
  }
  return 0;
}
