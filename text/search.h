#pragma once

#include <string_view>

namespace pagefields {

// Position (1-based) of the first occurrence of `needle` in `haystack` that starts at or
// after `start`, or 0. Empty needle or haystack: 0. A match must end inside the haystack;
// overlapping candidates are all tried. A `start` below 1 searches from position 1.
// Allocates nothing.
int PosStr(std::string_view needle, std::string_view haystack, int start);

// As PosStr, with bytes compared through UpperCaseMap (the needle may be in any case).
int PosText(std::string_view needle, std::string_view haystack, int start);

// The number of positions at which PosText would find `needle` (overlapping ones included).
int CountText(std::string_view needle, std::string_view haystack);

}  // namespace pagefields
