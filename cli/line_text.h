#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/code_page.h"

namespace pagefields::cli {

// Turns bytes into the text of one cell in a single pass: through a code page into UTF-8
// (bytes as they are without one), then escaped as EscapeForLine escapes. No byte's UTF-8
// form holds a byte that needs an escape, so every byte has one fixed piece of output.
class LineText {
 public:
  // Without a code page, bytes from 0x80 up are kept.
  explicit LineText(const CodePage* code_page);

  // Appends EscapeForLine(code_page ? code_page->ToUtf8(text) : text) to `out`.
  void Append(std::string& out, std::string_view text) const;

 private:
  // An escape ("\xHH") takes four bytes, a character of a code page three in UTF-8.
  struct Piece {
    std::array<char, 4> bytes{};
    std::uint8_t size = 0;
  };
  std::array<Piece, 256> pieces_{};
};

}  // namespace pagefields::cli
