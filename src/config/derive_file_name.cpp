#include "config/derive_file_name.h"

#include "common/utf8.h"

namespace acqsort {

std::string DeriveFileName(std::string_view acqFile, std::string_view tag) {
  // Characters, not bytes: a UTF-8 name derives as the same name in a single-byte code page.
  const size_t cut = StartOfLastCharacters(acqFile, 4);
  std::string name;
  name.reserve(acqFile.size() + tag.size());
  name.append(acqFile.substr(0, cut));
  name.append(tag);
  name.append(acqFile.substr(cut));
  return name;
}

}  // namespace acqsort
