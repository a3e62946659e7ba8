#include "processing/remove_inf_parts.h"

namespace acqsort {

void RemoveInfParts(const AcqConfig& config, const MergedPartStates& merged, const Folder& folder,
                    Console& console) {
  const std::string* parts[] = {&config.inf1File, &config.inf2File, &config.inf3File};
  for (size_t i = 0; i < merged.size(); ++i) {
    const RemovalResult result = RemoveFileIfUnchanged(folder, *parts[i], merged[i]);
    switch (result.removal) {
      case Removal::kRemoved:
        console.Report({"* ", *parts[i], " file has been deleted. "});
        break;
      case Removal::kKept:
        console.ReportFailure(
            {*parts[i], "can't be deleted. ",
             "acqsort: " + *parts[i] + " was kept: " +
                 (result.changed ? "it changed since it was merged; the merged file " + config.infFile +
                                       " holds it as it was merged"
                                 : result.why + "; its content is already in the merged file " + config.infFile)});
        break;
      case Removal::kAbsent:
        break;
    }
  }
}

}  // namespace acqsort
