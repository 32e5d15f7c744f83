#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pagefields {

// The 128 byte values that make up words: digits, ASCII letters, and the Windows-1251
// Cyrillic letters 0xA8, 0xB8 and 0xC0..0xFF. Bit (c % 8) of byte (c / 8) is set for a member.
inline constexpr std::array<std::uint8_t, 32> WordCharSet = [] {
  std::array<std::uint8_t, 32> set{};
  const auto add = [&set](int c) { set[c / 8] |= static_cast<std::uint8_t>(1u << (c % 8)); };
  for (int c = '0'; c <= '9'; ++c) add(c);
  for (int c = 'A'; c <= 'Z'; ++c) add(c);
  for (int c = 'a'; c <= 'z'; ++c) add(c);
  add(0xA8);
  add(0xB8);
  for (int c = 0xC0; c <= 0xFF; ++c) add(c);
  return set;
}();

constexpr bool IsWordChar(char byte) {
  const auto c = static_cast<std::uint8_t>(byte);
  return (WordCharSet[c / 8] >> (c % 8)) & 1u;
}

static_assert(WordCharSet == std::array<std::uint8_t, 32>{
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x03, 0xFE, 0xFF, 0xFF,
                                 0x07, 0xFE, 0xFF, 0xFF, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
                                 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
static_assert([] {
  int members = 0;
  for (int c = 0; c < 256; ++c) members += IsWordChar(static_cast<char>(c)) ? 1 : 0;
  return members;
}() == 128);

// Number of maximal runs of WordCharSet bytes in `text`. Allocates nothing.
int CountWords(std::string_view text);

}  // namespace pagefields
