#include "platform/console.h"

namespace acqsort {

void Console::Report(std::initializer_list<std::string_view> pieces) {
  std::string line;
  for (std::string_view piece : pieces) line.append(piece);
  WriteLine(line);
}

Outcome StandardOutput::Delivered() const {
  if (lostReason_.empty()) return {};
  return Failure{"standard output", lostReason_};
}

}  // namespace acqsort
