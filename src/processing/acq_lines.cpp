#include "processing/acq_lines.h"

#include <cstring>

#include "common/leading_integer.h"
#include "platform/newlines.h"

namespace acqsort {

namespace {

// Where the line that starts at `offset` ends: at its LF, or at the end of the text.
size_t LineEnd(std::string_view text, size_t offset) {
  const void* lf = std::memchr(text.data() + offset, '\n', text.size() - offset);
  return lf == nullptr ? text.size()
                       : static_cast<size_t>(static_cast<const char*>(lf) - text.data());
}

}  // namespace

int32_t SequenceNumberOf(std::string_view line) {
  return static_cast<int32_t>(ReadLeadingInteger(line.substr(0, 6)).value);
}

void FileAcqLines(std::string_view text, SeqTable& table) {
  for (size_t offset = 0; offset < text.size();) {
    size_t end = LineEnd(text, offset);
    // The number never reaches past the line's own newline.
    table.File(SequenceNumberOf(text.substr(offset, end - offset + 1)), offset);
    offset = end + 1;
  }
}

std::string_view AcqLineAt(std::string_view text, size_t offset) {
  return LineContent(text, offset, LineEnd(text, offset));
}

}  // namespace acqsort
