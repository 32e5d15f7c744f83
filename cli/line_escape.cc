#include "cli/line_escape.h"

namespace pagefields::cli {

std::string EscapeForLine(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char byte : text) {
    const auto code = static_cast<unsigned char>(byte);
    switch (code) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        if (code < 0x20 || code == 0x7F) {
          escaped += "\\x";
          escaped += kHex[code >> 4];
          escaped += kHex[code & 0xF];
        } else {
          escaped += byte;
        }
    }
  }
  return escaped;
}

}  // namespace pagefields::cli
