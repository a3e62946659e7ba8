#include "processing/acq_lines.h"

namespace acqsort {

void FileAcqLines(std::string_view text, SeqTable& table) {
  for (size_t offset = 0; offset < text.size();) {
    size_t end = AcqLineEnd(text, offset);
    // The number never reaches past the line's own newline.
    table.File(SequenceNumberOf(text.substr(offset, end - offset + 1)), offset);
    offset = end + 1;
  }
}

}  // namespace acqsort
