#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "processing/seq_table.h"

namespace acqsort {

// Sequence numbers come from the first six characters of a line, so none exceeds this.
inline constexpr int32_t kLargestSequenceNumber = 999999;

// The sequence number at the start of `line`, read from its first six characters only:
// white space, a sign, then digits. A line that does not begin so gives 0.
int32_t SequenceNumberOf(std::string_view line);

// Files every line of `text` under the sequence number at its start. The text is the ACQ
// file as it is on disk (CR LF or LF), cut into lines by the newline rule of
// platform/newlines.h.
void FileAcqLines(std::string_view text, SeqTable& table);

// The line that starts at `offset`, without its newline.
std::string_view AcqLineAt(std::string_view text, size_t offset);

}  // namespace acqsort
