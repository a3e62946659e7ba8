#include "processing/acq_lines.h"

namespace acqsort {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

FiledLines FileAcqLines(std::string_view text, SeqTable& table) {
  FiledLines filed;
  for (size_t offset = 0; offset < text.size();) {
    size_t end = AcqLineEnd(text, offset);
    ++filed.lines;
    // The number never reaches past the line's own newline.
    const std::string_view line = text.substr(offset, end - offset + 1);
    const LeadingInteger number = LeadingNumberOf(line);
    if (table.File(static_cast<int32_t>(number.value), offset)) {
      ++filed.filed;
    } else if (!number.hasDigits) {
      ++filed.unnumbered;
    } else {
      ++filed.outside;
    }
    // The seventh character first: it is seldom a digit, so most lines cost one test.
    if (end - offset >= 7 && IsDigit(text[offset + 6])) {
      bool sevenDigits = true;
      for (size_t i = 0; i < 6 && sevenDigits; ++i) sevenDigits = IsDigit(text[offset + i]);
      if (sevenDigits && filed.longNumbers++ == 0) filed.firstLongNumberLine = filed.lines;
    }
    offset = end + 1;
  }
  return filed;
}

}  // namespace acqsort
