#include "processing/remove_inf_parts.h"

namespace acqsort {

void RemoveInfParts(const AcqConfig& config, const MergedParts& merged, const Folder& folder,
                    Console& console) {
  const std::string* parts[] = {&config.inf1File, &config.inf2File, &config.inf3File};
  for (size_t i = 0; i < merged.size(); ++i) {
    switch (RemoveFileIfUnchanged(folder, *parts[i], merged[i])) {
      case Removal::kRemoved:
        console.Report({"* ", *parts[i], " file has been deleted. "});
        break;
      case Removal::kKept:
        console.Report({"* Error:", *parts[i], "  can't be deleted. "});
        break;
      case Removal::kAbsent:
        break;
    }
  }
}

}  // namespace acqsort
