#include "config/derive_file_name.h"

namespace acqsort {

std::string DeriveFileName(std::string_view acqFile, std::string_view tag) {
  size_t cut = acqFile.size() >= 4 ? acqFile.size() - 4 : 0;
  std::string name;
  name.reserve(acqFile.size() + tag.size());
  name.append(acqFile.substr(0, cut));
  name.append(tag);
  name.append(acqFile.substr(cut));
  return name;
}

}  // namespace acqsort
