#pragma once

#include <string>
#include <string_view>

namespace pagefields {

// Every occurrence of `find` in `text` (taken left to right, never overlapping, found exactly
// or, with `ignore_case`, ignoring letter case as PosText does) exchanged for `replace`, in
// the caller's string. Inserted text is not searched again. No match, an empty `find` or an
// empty `text`: no change. When `replace` is no longer than `find` the result never outgrows
// the bytes still to be read, so no second copy of the text is made.
void ReplaceInPlace(std::string& text, std::string_view find, std::string_view replace,
                    bool ignore_case);

// True for the bytes a trim strips: codes 0 to 32, compared unsigned.
constexpr bool IsBlank(char byte) {
  return static_cast<unsigned char>(byte) <= 0x20;
}

}  // namespace pagefields
