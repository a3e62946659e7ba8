#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace acqsort {

// What a byte-order mark at the start of a text says it is. Windows editors write one:
// Notepad's "UTF-8 with BOM" and "Unicode" (UTF-16 LE), Windows PowerShell 5.1's `>`.
enum class TextForm { kPlain, kUtf8WithMark, kUtf16Le, kUtf16Be };

TextForm FormOf(std::string_view text);

// How many bytes the mark takes (0 for a plain text).
size_t MarkSize(TextForm form);

// A UTF-16 text, its mark included, as UTF-8 without the mark; none when it is not
// well-formed (an odd number of bytes, a lone surrogate).
std::optional<std::string> Utf8FromUtf16(std::string_view text, TextForm form);

}  // namespace acqsort
