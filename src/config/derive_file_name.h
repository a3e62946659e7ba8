#pragma once

#include <string>
#include <string_view>

namespace acqsort {

// `acqFile` with `tag` inserted in front of its last four characters, which usually are
// the extension (characters: code points in a valid UTF-8 name, bytes otherwise): "ACQ\data.txt" with "R" gives "ACQ\dataR.txt". The insertion point is
// counted from the end of the whole path, so a path of fewer than four characters gets
// the tag in front.
std::string DeriveFileName(std::string_view acqFile, std::string_view tag);

}  // namespace acqsort
