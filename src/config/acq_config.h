#pragma once

#include <cstdint>
#include <string>

namespace acqsort {

// What one run works on: the ACQ file named by the configuration, the names derived from
// it, and the range of sequence numbers that the sorted file gets. Names keep the
// backslash separator on every platform ("ACQ\data.txt").
struct AcqConfig {
  std::string acqFile;      // the ACQ file that the sort reads
  std::string infFile;      // the merged file
  std::string inf1File;     // the three part files, merged and then removed
  std::string inf2File;
  std::string inf3File;
  std::string infAllLabel;  // names the three parts in the merge's report; never opened
  std::string sortedFile;   // the sorted file
  int32_t firstSeq = 0;
  int32_t lastSeq = 0;
};

// The path of the configuration file, relative to the working directory.
inline constexpr const char* kAcqConfigPath = "CONFIG\\ACQ.config";

// The folder prefix of every data file.
inline constexpr const char* kAcqFolderPrefix = "ACQ\\";

}  // namespace acqsort
