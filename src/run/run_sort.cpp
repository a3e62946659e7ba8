#include "run/run_sort.h"

#include "config/read_acq_config.h"
#include "processing/merge_inf_parts.h"
#include "processing/remove_inf_parts.h"
#include "processing/sort_acq_file.h"

namespace acqsort {

namespace {

int ReportFailure(Console& console, const Failure& failure) {
  console.Report({"* Error:", failure.file, "  ", failure.reason});
  return 1;
}

}  // namespace

int RunSort(Console& console) {
  console.WriteLine(kBanner);

  Result<AcqConfig> config = ReadAcqConfig(kAcqConfigPath);
  if (!config.ok()) return ReportFailure(console, config.failure());

  Outcome sorted = SortAcqFile(config.value(), console);
  if (!sorted.ok()) return ReportFailure(console, sorted.failure());

  Result<MergedParts> merged = MergeInfParts(config.value(), console);
  if (!merged.ok()) return ReportFailure(console, merged.failure());

  RemoveInfParts(config.value(), merged.value(), console);
  return 0;
}

}  // namespace acqsort
