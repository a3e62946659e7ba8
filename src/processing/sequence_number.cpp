#include "processing/sequence_number.h"

#include "common/leading_integer.h"

namespace acqsort {

int32_t SequenceNumberOf(std::string_view line) {
  return static_cast<int32_t>(ReadLeadingInteger(line.substr(0, 6)).value);
}

}  // namespace acqsort
