// acqsort: sorts the ACQ file of the working directory by sequence number, merges its three
// part files and removes them. Takes no arguments; any that are given are ignored.

#include <string>

#include "platform/console.h"
#include "platform/process.h"
#include "run/run_sort.h"

int main(int argc, char** argv) {
  acqsort::KeepSignalsFromEndingTheRun();
  acqsort::StandardOutput console;
  if (argc > 1) {
    // The run is the same with or without them; an operator who typed --help learns why.
    std::string given;
    for (int i = 1; i < argc; ++i) given += std::string(i > 1 ? " " : "") + argv[i];
    console.WriteNote(std::string("acqsort ") + ACQSORT_VERSION +
                      " takes no arguments and ignores them (" + given +
                      "): it runs in the working directory, as configured in CONFIG\\ACQ.config");
  }
  const int status = acqsort::RunSort(console);
  // The run did all of its work; if its report was lost, the caller must learn that the
  // record of what was done (which parts were deleted) is gone.
  const acqsort::Outcome delivered = console.Delivered();
  if (!delivered.ok()) {
    acqsort::WriteToStandardError("acqsort: " + delivered.failure().file + " " +
                                  delivered.failure().reason +
                                  "; the run went on to its end, but its report (the record of "
                                  "which parts were deleted) is lost");
    return 1;
  }
  return status;
}
