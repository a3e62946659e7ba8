// Fuzzes the configuration reader with the name derivation and the checks the run makes:
// no input may crash it, and a configuration that the checks accept must be safe to build
// file names from.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/check_acq_config.h"
#include "config/derive_file_name.h"
#include "config/read_acq_config.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool HasDotsOnlyComponent(std::string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view component = path.substr(start, end - start);
    if (component.size() >= 2 && component.find_first_not_of('.') == std::string_view::npos) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace acqsort;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  AcqConfigReading reading = ParseAcqConfig(text);
  const AcqConfig& config = reading.config;

  Require(config.acqFile.compare(0, 4, "ACQ\\") == 0);
  Require(config.sortedFile == DeriveFileName(config.acqFile, "R"));
  Require(config.inf3File == DeriveFileName(config.acqFile, "INF3"));
  Require(config.infAllLabel.size() == config.acqFile.size() + 8);

  if (!reading.fault.empty() || !CheckAcqConfig(config).empty()) return 0;
  // Accepted: every name lies inside the ACQ folder and is a plain file name.
  const std::string_view name = std::string_view(config.acqFile).substr(4);
  Require(name.size() >= 4);
  Require(name[0] != '\\' && name[0] != '/');
  for (const std::string* path : {&config.acqFile, &config.infFile, &config.inf1File,
                                  &config.inf2File, &config.inf3File, &config.sortedFile}) {
    Require(path->compare(0, 4, "ACQ\\") == 0);
    Require(!HasDotsOnlyComponent(*path));
    for (unsigned char c : *path) {
      Require(c >= 0x20 && c != ':' && c != '"' && c != '<' && c != '>' && c != '|' &&
              c != '?' && c != '*');
    }
  }
  return 0;
}
