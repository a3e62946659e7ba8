#pragma once

#include <string>
#include <vector>

namespace acqsort {

// What the command line asks for. A run takes no arguments; a request for help or for the
// version is answered without touching any file, since an operator who types "--help" must
// not find the parts deleted. Any other argument is ignored.
enum class Request { kRun, kHelp, kVersion };

// The first argument that asks for help ("--help", "-h", "/?", "-?") or the version
// ("--version") decides; without one, a run.
Request RequestOf(const std::vector<std::string>& arguments);

// The text that a request for help prints: what a run does, where it must start, its
// files, its exit statuses and where the manual is, one line per element; the same on every
// platform.
std::vector<std::string> UsageLines(const std::string& version);

}  // namespace acqsort
