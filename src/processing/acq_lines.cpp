#include "processing/acq_lines.h"

#include <cstring>

#include "processing/sequence_number.h"

namespace acqsort {

namespace {

// Where the line that starts at `offset` ends: at its LF, or at the end of the text.
size_t LineEnd(std::string_view text, size_t offset) {
  const void* lf = std::memchr(text.data() + offset, '\n', text.size() - offset);
  return lf == nullptr ? text.size()
                       : static_cast<size_t>(static_cast<const char*>(lf) - text.data());
}

}  // namespace

void FileAcqLines(std::string_view text, SeqTable& table) {
  for (size_t offset = 0; offset < text.size();) {
    size_t end = LineEnd(text, offset);
    // The number never reaches past the line's own newline.
    table.File(SequenceNumberOf(text.substr(offset, end - offset + 1)), offset);
    offset = end + 1;
  }
}

std::string_view AcqLineAt(std::string_view text, size_t offset) {
  size_t end = LineEnd(text, offset);
  if (end < text.size() && end > offset && text[end - 1] == '\r') --end;
  return text.substr(offset, end - offset);
}

}  // namespace acqsort
