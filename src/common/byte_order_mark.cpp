#include "common/byte_order_mark.h"

#include <cstdint>

namespace acqsort {

TextForm FormOf(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") return TextForm::kUtf8WithMark;
  if (text.substr(0, 2) == "\xFF\xFE") return TextForm::kUtf16Le;
  if (text.substr(0, 2) == "\xFE\xFF") return TextForm::kUtf16Be;
  return TextForm::kPlain;
}

size_t MarkSize(TextForm form) {
  switch (form) {
    case TextForm::kUtf8WithMark:
      return 3;
    case TextForm::kUtf16Le:
    case TextForm::kUtf16Be:
      return 2;
    case TextForm::kPlain:
      break;
  }
  return 0;
}

namespace {

void AppendUtf8(uint32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::optional<std::string> Utf8FromUtf16(std::string_view text, TextForm form) {
  text.remove_prefix(MarkSize(form));
  if (text.size() % 2 != 0) return std::nullopt;
  const bool bigEndian = form == TextForm::kUtf16Be;
  auto unit = [&](size_t i) -> uint32_t {
    const auto first = static_cast<unsigned char>(text[2 * i]);
    const auto second = static_cast<unsigned char>(text[2 * i + 1]);
    return bigEndian ? (uint32_t{first} << 8) | second : (uint32_t{second} << 8) | first;
  };
  std::string out;
  out.reserve(text.size() / 2);
  const size_t units = text.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    uint32_t code = unit(i);
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (i + 1 == units) return std::nullopt;
      const uint32_t low = unit(i + 1);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    } else if (code >= 0xDC00 && code <= 0xDFFF) {
      return std::nullopt;
    }
    AppendUtf8(code, out);
  }
  return out;
}

}  // namespace acqsort
