#pragma once

// The newline rule, in one place, done by the tool itself so that every platform reads and
// writes the same bytes: on disk a newline is CR LF (an LF alone is read as one too); in
// memory it is one LF; a CR that is not followed by an LF is ordinary data.
//
// Reading translates a CR LF pair into one LF and writing an LF into CR LF, so a copy from
// disk to disk changes only an LF that no CR precedes. The configuration is translated as it
// is read (CompactCrLf). The ACQ file, the largest input, is read as it is on disk and each
// line is cut out by LineContent. The parts are copied untranslated but for their lone LFs
// (FindLoneLf). Both apply the same rule without a pass of its own over the data.

#include <cstddef>
#include <string>
#include <string_view>

namespace acqsort {

// A newline as written to disk.
inline constexpr std::string_view kNewlineOnDisk = "\r\n";

// Turns every CR LF pair in data[0, size) into one LF, in place, and returns the new size.
// Any other CR is ordinary data.
size_t CompactCrLf(char* data, size_t size);

// The content of the line that starts at `begin` in untranslated `text` and ends at `end`,
// the position of its LF (or the end of the text): without the LF, and without a CR that
// directly precedes the LF.
inline std::string_view LineContent(std::string_view text, size_t begin, size_t end) {
  if (end < text.size() && end > begin && text[end - 1] == '\r') --end;
  return text.substr(begin, end - begin);
}

// The position of the first LF at or after `from` in untranslated `raw` that no CR precedes,
// or npos. `crBefore` tells whether the byte before raw[0] was a CR.
size_t FindLoneLf(std::string_view raw, size_t from, bool crBefore);

// Appends `text` to `out` with every LF written as CR LF.
void AppendWithCrLf(std::string_view text, std::string& out);

}  // namespace acqsort
