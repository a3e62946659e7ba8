#include "common/utf8.h"

namespace acqsort {

size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;  // a continuation byte, or a lead byte that only overlong or too large forms use
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t length = Utf8SequenceLength(lead);
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    if (length > 1) {
      const unsigned char second = static_cast<unsigned char>(text[i + 1]);
      if (lead == 0xE0 && second < 0xA0) return false;  // overlong
      if (lead == 0xED && second > 0x9F) return false;  // a surrogate
      if (lead == 0xF0 && second < 0x90) return false;  // overlong
      if (lead == 0xF4 && second > 0x8F) return false;  // above U+10FFFF
    }
    i += length;
  }
  return true;
}

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

size_t CountCharacters(std::string_view text) {
  if (!IsValidUtf8(text)) return text.size();
  size_t count = 0;
  for (char c : text) count += IsContinuation(c) ? 0 : 1;
  return count;
}

size_t StartOfLastCharacters(std::string_view text, size_t count) {
  if (!IsValidUtf8(text)) return text.size() > count ? text.size() - count : 0;
  size_t start = text.size();
  for (size_t taken = 0; taken < count && start > 0; ++taken) {
    do {
      --start;
    } while (start > 0 && IsContinuation(text[start]));
  }
  return start;
}

}  // namespace acqsort
