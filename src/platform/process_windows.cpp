#include "platform/process.h"

namespace acqsort {

// Windows has no such signals: a broken pipe or a full disk fails the call that met it.
void KeepSignalsFromEndingTheRun() {}

}  // namespace acqsort
