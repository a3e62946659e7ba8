#pragma once

#include <cstddef>
#include <string_view>

namespace acqsort {

// Whether `text` is well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing above U+10FFFF. Names that are not are taken to be in a
// single-byte code page, one byte a character.
bool IsValidUtf8(std::string_view text);

// How many characters `text` holds: code points when it is valid UTF-8, else bytes.
size_t CountCharacters(std::string_view text);

// Where the last `count` characters of `text` begin, counted as CountCharacters counts
// them; 0 when `text` is shorter. Never inside a character.
size_t StartOfLastCharacters(std::string_view text, size_t count);

// How many bytes the UTF-8 character starting with `lead` takes (1 for ASCII).
size_t Utf8SequenceLength(unsigned char lead);

}  // namespace acqsort
