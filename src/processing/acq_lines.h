#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/find_newline.h"
#include "common/leading_integer.h"
#include "text/newlines.h"
#include "processing/seq_table.h"

namespace acqsort {

// Sequence numbers come from the first six characters of a line, so none exceeds this.
inline constexpr int32_t kLargestSequenceNumber = 999999;

// The per-line helpers are inline: the sort calls them for every line, a million times in
// a large run, and the calls alone would cost a fifth of its filing pass (docs/performance.md).

// The sequence number at the start of `line`, read from its first six characters only:
// white space, a sign, then digits. A line that does not begin so gives 0.
inline LeadingInteger LeadingNumberOf(std::string_view line) { return ReadLeadingInteger(line.substr(0, 6)); }
inline int32_t SequenceNumberOf(std::string_view line) {
  return static_cast<int32_t>(LeadingNumberOf(line).value);
}

// What the filing pass met, for the operator: how the lines of the ACQ file divide between
// the table and the lines left out.
struct FiledLines {
  size_t lines = 0;       // all lines of the text
  size_t filed = 0;       // lines with a slot; a later line of the same number replaces one
  size_t outside = 0;     // lines with a number that has no slot (0, negative, out of range)
  size_t unnumbered = 0;  // lines that do not begin with a number
  // Lines that begin with seven or more digits: only the first six count, so "1000001" is
  // filed as 100000, which an operator seldom means.
  size_t longNumbers = 0;
  size_t firstLongNumberLine = 0;  // 1-based; 0 when there is none
};

// Files every line of `text` under the sequence number at its start. The text is the ACQ
// file as it is on disk (CR LF or LF), cut into lines by the newline rule of
// text/newlines.h.
FiledLines FileAcqLines(std::string_view text, SeqTable& table);

// Where the line that starts at `offset` ends: at its LF, or at the end of the text.
inline size_t AcqLineEnd(std::string_view text, size_t offset) {
  return static_cast<size_t>(FindNewline(text.data() + offset, text.data() + text.size()) - text.data());
}

// The line that starts at `offset`, without its newline.
inline std::string_view AcqLineAt(std::string_view text, size_t offset) {
  return LineContent(text, offset, AcqLineEnd(text, offset));
}

}  // namespace acqsort
