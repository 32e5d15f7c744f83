#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pagefields::cli {

// Turns bytes into the text of one cell in a single pass, escaped as EscapeForLine escapes:
// every byte has one fixed piece of output, looked up in a table.
class LineText {
 public:
  LineText();

  // Appends EscapeForLine(text) to `out`.
  void Append(std::string& out, std::string_view text) const;

 private:
  // An escape ("\xHH") takes four bytes.
  struct Piece {
    std::array<char, 4> bytes{};
    std::uint8_t size = 0;
  };
  std::array<Piece, 256> pieces_{};
};

}  // namespace pagefields::cli
