#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pagefields::cli {

// `text` with the backslash and every control byte (0x00 to 0x1F and 0x7F) written as an
// escape: \\, \t, \n, \r, or \xHH for the others, so that a value never breaks its line or
// its column. Bytes from 0x80 up pass unchanged, so UTF-8 stays intact.
std::string EscapeForLine(std::string_view text);

// Appends `text` as a field of a csv line, quoted as RFC 4180 asks when it holds a comma or a
// quote. `text` is escaped already, so it holds no line break.
void AppendCsvField(std::string& line, std::string_view text);

// Two lowercase hexadecimal digits for every byte of `bytes`.
std::string HexBytes(std::string_view bytes);

// Columns a UTF-8 text takes on a terminal: one per character.
std::size_t DisplayWidth(std::string_view text);

}  // namespace pagefields::cli
