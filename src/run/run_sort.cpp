#include "run/run_sort.h"

#include <string>
#include <vector>

#include "config/read_acq_config.h"
#include "platform/file_system.h"
#include "processing/merge_inf_parts.h"
#include "processing/remove_inf_parts.h"
#include "processing/sort_acq_file.h"
#include "run/operator_hints.h"

namespace acqsort {

namespace {

int ReportFailure(Console& console, const Failure& failure) {
  console.Report({"* Error:", failure.file, "  ", failure.reason});
  if (!failure.hint.empty()) console.WriteNote(failure.hint);
  return 1;
}

}  // namespace

int RunSort(Console& console) {
  console.WriteLine(kBanner);

  std::vector<std::string> warnings;
  Result<AcqConfig> config = ReadAcqConfig(kAcqConfigPath, &warnings);
  if (!config.ok()) {
    Failure failure = config.failure();
    if (failure.hint.empty()) failure.hint = MissingConfigurationHint();
    return ReportFailure(console, failure);
  }
  for (const std::string& warning : warnings) console.WriteNote(warning);

  // The folder of the run's data files, opened once: the outputs are put in place and the
  // parts removed through it. It is named by the ACQ file when it can't be opened.
  Result<Folder> folder = Folder::Open(FolderOf(config.value().acqFile));
  if (!folder.ok()) {
    return ReportFailure(console, Failure{config.value().acqFile, folder.failure().reason});
  }

  Outcome sorted = SortAcqFile(config.value(), folder.value(), console);
  if (!sorted.ok()) return ReportFailure(console, sorted.failure());

  Result<MergedPartStates> merged = MergeInfParts(config.value(), folder.value(), console);
  if (!merged.ok()) {
    Failure failure = merged.failure();
    if (failure.hint.empty()) failure.hint = MissingPartHint(config.value(), failure);
    return ReportFailure(console, failure);
  }

  RemoveInfParts(config.value(), merged.value(), folder.value(), console);
  return 0;
}

}  // namespace acqsort
