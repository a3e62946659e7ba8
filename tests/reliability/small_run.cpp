#include "small_run.h"

#include <fstream>
#include <iterator>

#include "invariant.h"

namespace acqsort::reliability {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteSmallRun(const fs::path& dir, const std::string& acq) {
  WriteFile(dir / kConfig, "#ACQ\r\n\r\nname:\"data.txt\"\r\nfirst: 1\r\nlast: 9\r\n");
  WriteFile(dir / kAcq, acq);
  for (const std::string& part : kParts) WriteFile(dir / part, part + " content\r\n");
}

bool HasTemporaryFile(const fs::path& dir) {
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.path().string().find(".acqsort-tmp") != std::string::npos) return true;
  }
  return false;
}

}  // namespace acqsort::reliability
