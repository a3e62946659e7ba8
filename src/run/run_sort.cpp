#include "run/run_sort.h"

#include <string>

#include "config/read_acq_config.h"
#include "platform/file_system.h"
#include "processing/merge_inf_parts.h"
#include "processing/remove_inf_parts.h"
#include "processing/sort_acq_file.h"

namespace acqsort {

namespace {

int Stopped(Console& console, const Failure& failure) {
  console.ReportFailure(failure);
  return 1;
}

}  // namespace

int RunSort(Console& console) {
  console.WriteLine(kBanner);

  Result<AcqConfig> config = ReadAcqConfig(kAcqConfigPath, console);
  if (!config.ok()) return Stopped(console, config.failure());

  // The folder of the run's data files, opened once: the outputs are put in place and the
  // parts removed through it. It is named by the ACQ file when it can't be opened.
  Result<Folder> folder = Folder::Open(FolderOf(config.value().acqFile));
  if (!folder.ok()) return Stopped(console, Failure{config.value().acqFile, folder.failure().reason});

  Outcome sorted = SortAcqFile(config.value(), folder.value(), console);
  if (!sorted.ok()) return Stopped(console, sorted.failure());

  Result<MergedPartStates> merged = MergeInfParts(config.value(), folder.value(), console);
  if (!merged.ok()) return Stopped(console, merged.failure());

  RemoveInfParts(config.value(), merged.value(), folder.value(), console);
  return 0;
}

}  // namespace acqsort
