#pragma once

#include <string>
#include <string_view>

namespace pagefields {

// `source` with every occurrence of `find` (taken left to right, never overlapping)
// exchanged for `replace`. Inserted text is not searched again. No match, an empty
// `find` or an empty `source`: `source` unchanged. The result is allocated once.
std::string ReplaceStr(std::string_view source, std::string_view find, std::string_view replace);

// As ReplaceStr, with the occurrences found ignoring letter case (PosText). The text
// around the matches keeps its case; `replace` is inserted byte for byte.
std::string ReplaceText(std::string_view source, std::string_view find, std::string_view replace);

// ReplaceStr (or, with `ignore_case`, ReplaceText) done in the caller's string, without a
// second copy of it. `replace` must be no longer than `find`, so the result never outgrows
// the bytes still to be read.
void ReplaceInPlace(std::string& text, std::string_view find, std::string_view replace,
                    bool ignore_case);

// Deletes `count` bytes of `text` from 1-based `index`. No change when count < 1, text is
// empty, or index is outside 1..length; a range reaching past the end cuts text at index.
void DeleteChars(std::string& text, int index, int count);

// Strips blank bytes (0x00..0x20) from both ends of `text`; inner bytes stay.
void TrimInPlace(std::string& text);

// `text` without trailing blanks, then read as NUL-terminated text: leading bytes 0x01..0x20
// are skipped and the result ends before the first NUL at or after that point.
std::string TrimCopy(std::string_view text);

// True for the bytes the trims strip: codes 0 to 32, compared unsigned.
constexpr bool IsBlank(char byte) {
  return static_cast<unsigned char>(byte) <= 0x20;
}

}  // namespace pagefields
