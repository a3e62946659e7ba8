// acqsort: sorts the ACQ file of the working directory by sequence number, merges its three
// part files and removes them. Takes no arguments; a request for help or the version is
// answered without a run, and any other argument is ignored.

#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/process.h"
#include "run/command_line.h"
#include "run/run_sort.h"

namespace {

// The status of a run that wrote only `lines`: whether they reached standard output.
int Answer(acqsort::StandardOutput& console, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) console.WriteLine(line);
  const acqsort::Outcome delivered = console.Delivered();
  if (delivered.ok()) return 0;
  acqsort::WriteToStandardError("acqsort: " + delivered.failure().file + " " +
                                delivered.failure().reason);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  acqsort::StandardOutput console;
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  switch (acqsort::RequestOf(arguments)) {
    case acqsort::Request::kHelp:
      return Answer(console, acqsort::UsageLines(ACQSORT_VERSION));
    case acqsort::Request::kVersion:
      return Answer(console, {std::string("acqsort ") + ACQSORT_VERSION});
    case acqsort::Request::kRun:
      break;
  }
  if (const acqsort::SystemStatus installed = acqsort::InstallSignalHandlers(); !installed.ok()) {
    console.WriteNote("acqsort: interrupts can't be handled (" + installed.error().Words() +
                      "): a run interrupted now may leave a temporary file (*.acqsort-tmp) behind");
  }
  if (!arguments.empty()) {
    // The run is the same with or without them; an operator who typed one learns why.
    std::string given;
    for (const std::string& argument : arguments) given += (given.empty() ? "" : " ") + argument;
    console.WriteNote(std::string("acqsort ") + ACQSORT_VERSION +
                      " takes no arguments and ignores them (" + given +
                      "): it runs in the working directory, as configured in CONFIG\\ACQ.config"
                      "; acqsort --help tells more");
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
