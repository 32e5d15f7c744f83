#include "cli/line_escape.h"

#include <algorithm>
#include <array>

namespace pagefields::cli {
namespace {

constexpr bool NeedsEscape(unsigned char byte) {
  return byte < 0x20 || byte == 0x7F || byte == '\\';
}

constexpr std::array<bool, 256> kNeedsEscape = [] {
  std::array<bool, 256> table{};
  for (int byte = 0; byte < 256; ++byte)
    table[byte] = NeedsEscape(static_cast<unsigned char>(byte));
  return table;
}();

static_assert(kNeedsEscape['\\'] && kNeedsEscape['\n'] && kNeedsEscape[0] && kNeedsEscape[0x7F] &&
              !kNeedsEscape[' '] && !kNeedsEscape[0x80]);

void AppendEscape(std::string& escaped, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  switch (byte) {
    case '\\':
      escaped += "\\\\";
      return;
    case '\t':
      escaped += "\\t";
      return;
    case '\n':
      escaped += "\\n";
      return;
    case '\r':
      escaped += "\\r";
      return;
    default:
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xF];
  }
}

}  // namespace

std::string EscapeForLine(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  std::size_t run = 0;  // start of the bytes not yet copied, all of them plain
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!kNeedsEscape[byte]) continue;
    escaped.append(text, run, i - run);
    AppendEscape(escaped, byte);
    run = i + 1;
  }
  escaped.append(text, run, text.size() - run);
  return escaped;
}

void AppendCsvField(std::string& line, std::string_view text) {
  if (text.find_first_of(",\"") == std::string_view::npos) {
    line.append(text);
    return;
  }
  line += '"';
  for (const char byte : text) {
    if (byte == '"') line += '"';
    line += byte;
  }
  line += '"';
}

std::string HexBytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * bytes.size());
  for (const char byte : bytes) {
    hex += kHex[static_cast<unsigned char>(byte) >> 4];
    hex += kHex[static_cast<unsigned char>(byte) & 0xF];
  }
  return hex;
}

std::size_t DisplayWidth(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  }));
}

}  // namespace pagefields::cli
