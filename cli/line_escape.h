#pragma once

#include <string>
#include <string_view>

namespace pagefields::cli {

// `text` with the backslash and every control byte (0x00 to 0x1F and 0x7F) written as an
// escape: \\, \t, \n, \r, or \xHH for the others, so that a value never breaks its line or
// its column. Bytes from 0x80 up pass unchanged, so UTF-8 stays intact.
std::string EscapeForLine(std::string_view text);

}  // namespace pagefields::cli
