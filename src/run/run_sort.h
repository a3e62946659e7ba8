#pragma once

#include "platform/console.h"

namespace acqsort {

inline constexpr const char* kBanner = "* Sort for Vantrel ACQout start!         *\n";

// One whole run in the working directory: the banner, the configuration, the sort, the
// merge and the removal of the parts, in this order. A stage that fails writes one error
// line and ends the run before the next stage. Returns the exit status: 0, or 1 after a
// failure.
int RunSort(Console& console);

}  // namespace acqsort
