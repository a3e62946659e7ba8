#include "processing/remove_inf_parts.h"

#include "platform/file_system.h"

namespace acqsort {

bool PathRemover::Exists(const std::string& path) const { return PathExists(path); }

Outcome PathRemover::Remove(const std::string& path) const { return RemovePath(path); }

void RemoveInfParts(const AcqConfig& config, Console& console, const PathRemover& remover) {
  for (const std::string* path : {&config.inf1File, &config.inf2File, &config.inf3File}) {
    if (!remover.Exists(*path)) continue;
    // The file is reported deleted only once it is seen to be gone: some file systems accept
    // a removal and keep the file (Windows defers it while the file is open elsewhere, Wine
    // while the file is immutable underneath).
    const bool removed = remover.Remove(*path).ok();
    if (remover.Exists(*path)) {
      console.Report({"* Error:", *path, "  can't be deleted. "});
    } else if (removed) {
      console.Report({"* ", *path, " file has been deleted. "});
    }
    // Otherwise another run removed it in between: it is gone, as if it had never been here.
  }
}

}  // namespace acqsort
