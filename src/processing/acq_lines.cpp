#include "processing/acq_lines.h"

namespace acqsort {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

LongNumbers FileAcqLines(std::string_view text, SeqTable& table) {
  LongNumbers longNumbers;
  size_t line = 0;
  for (size_t offset = 0; offset < text.size();) {
    size_t end = AcqLineEnd(text, offset);
    ++line;
    // The number never reaches past the line's own newline.
    table.File(SequenceNumberOf(text.substr(offset, end - offset + 1)), offset);
    // The seventh character first: it is seldom a digit, so most lines cost one test.
    if (end - offset >= 7 && IsDigit(text[offset + 6])) {
      bool sevenDigits = true;
      for (size_t i = 0; i < 6 && sevenDigits; ++i) sevenDigits = IsDigit(text[offset + i]);
      if (sevenDigits && longNumbers.count++ == 0) longNumbers.firstLine = line;
    }
    offset = end + 1;
  }
  return longNumbers;
}

}  // namespace acqsort
