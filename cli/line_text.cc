#include "cli/line_text.h"

#include <cstring>

#include "cli/line_escape.h"

namespace pagefields::cli {

LineText::LineText() {
  for (int value = 0; value < 256; ++value) {
    const std::string piece = EscapeForLine(std::string(1, static_cast<char>(value)));
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
