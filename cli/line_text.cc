#include "cli/line_text.h"

#include <cstring>

#include "cli/line_escape.h"

namespace pagefields::cli {

LineText::LineText(const CodePage* code_page) {
  for (int value = 0; value < 256; ++value) {
    const std::string byte(1, static_cast<char>(value));
    const std::string piece =
        EscapeForLine(code_page != nullptr && value >= 0x80 ? code_page->ToUtf8(byte) : byte);
    Piece& entry = pieces_[static_cast<std::size_t>(value)];
    piece.copy(entry.bytes.data(), entry.bytes.size());
    entry.size = static_cast<std::uint8_t>(piece.size());
  }
}

void LineText::Append(std::string& out, std::string_view text) const {
  // Room for the longest result is made first, then pieces are stored without checks.
  const std::size_t start = out.size();
  out.resize(start + 4 * text.size());
  char* at = out.data() + start;
  for (const char byte : text) {
    const Piece& piece = pieces_[static_cast<unsigned char>(byte)];
    std::memcpy(at, piece.bytes.data(), piece.bytes.size());
    at += piece.size;
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace pagefields::cli
