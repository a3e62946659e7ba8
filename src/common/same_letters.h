#pragma once

#include <cctype>
#include <cstddef>
#include <string_view>

namespace acqsort {

// Whether `a` and `b` are the same name to a file system that does not tell case apart:
// the same bytes but for the case of ASCII letters.
inline bool SameLettersIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace acqsort
