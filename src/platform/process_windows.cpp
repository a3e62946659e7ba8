#include "platform/process.h"

namespace acqsort {

// Windows has no SIGPIPE or SIGXFSZ: a broken pipe or a full disk fails the call that met
// it. Ctrl+C, Ctrl+Break and a closed console reach a process as console control events,
// which this build does not handle yet: the registrations below are kept for nothing.
void KeepSignalsFromEndingTheRun() {}

void OnInterruptRemove(const Folder&, const std::string&) {}

void OnInterruptRenameBack(const Folder&, const std::string&, const std::string&) {}

void OnInterruptDoNothing() {}

}  // namespace acqsort
