#pragma once

#include <cstddef>
#include <string_view>

#include "processing/seq_table.h"

namespace acqsort {

// The ACQ text as read from disk (CR LF or LF). A line ends at an LF; a CR right before it
// belongs to the newline, any other CR to the line.

// Files every line of `text` under the sequence number at its start.
void FileAcqLines(std::string_view text, SeqTable& table);

// The line that starts at `offset`, without its newline.
std::string_view AcqLineAt(std::string_view text, size_t offset);

}  // namespace acqsort
