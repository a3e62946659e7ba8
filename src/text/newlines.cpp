#include "text/newlines.h"

#include <cstring>

#include "common/find_newline.h"

namespace acqsort {

size_t CompactCrLf(char* data, size_t size) {
  char* end = data + size;
  char* cr = static_cast<char*>(std::memchr(data, '\r', size));
  if (cr == nullptr) return size;
  char* write = cr;
  char* read = cr;
  while (read < end) {
    // Here *read is a CR: drop it when an LF follows.
    if (read + 1 < end && read[1] == '\n') {
      ++read;
    }
    char* next = static_cast<char*>(std::memchr(read + 1, '\r', static_cast<size_t>(end - read - 1)));
    if (next == nullptr) next = end;
    size_t run = static_cast<size_t>(next - read);
    std::memmove(write, read, run);
    write += run;
    read = next;
  }
  return static_cast<size_t>(write - data);
}

size_t FindLoneLf(std::string_view raw, size_t from, bool crBefore) {
  while (from < raw.size()) {
    const char* found = FindNewline(raw.data() + from, raw.data() + raw.size());
    if (found == raw.data() + raw.size()) return std::string_view::npos;
    const size_t lf = static_cast<size_t>(found - raw.data());
    const bool paired = lf == 0 ? crBefore : raw[lf - 1] == '\r';
    if (!paired) return lf;
    from = lf + 1;
  }
  return std::string_view::npos;
}

void AppendWithCrLf(std::string_view text, std::string& out) {
  while (!text.empty()) {
    size_t lf = text.find('\n');
    if (lf == std::string_view::npos) {
      out.append(text);
      return;
    }
    out.append(text.data(), lf);
    out.append(kNewlineOnDisk);
    text.remove_prefix(lf + 1);
  }
}

}  // namespace acqsort
