#pragma once

// Text-mode newline translation, done by the tool itself so that every platform reads and
// writes the same bytes: on disk a newline is CR LF; in memory it is one LF.

#include <cstddef>
#include <string>
#include <string_view>

namespace acqsort {

// Turns every CR LF pair in data[0, size) into one LF, in place, and returns the new size.
// Any other CR is ordinary data.
size_t CompactCrLf(char* data, size_t size);

// Appends `text` to `out` with every LF written as CR LF.
void AppendWithCrLf(std::string_view text, std::string& out);

}  // namespace acqsort
