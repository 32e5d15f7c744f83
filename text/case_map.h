#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pagefields {

// The Windows-1251 upper-case mapping: entry b is the capital form of byte b.
// Every byte that is not a small letter of ASCII or of Cyrillic maps to itself.
inline constexpr std::array<std::uint8_t, 256> UpperCaseMap = [] {
  std::array<std::uint8_t, 256> map{};
  for (int b = 0; b < 256; ++b) map[b] = static_cast<std::uint8_t>(b);
  for (int b = 0x61; b <= 0x7A; ++b) map[b] = static_cast<std::uint8_t>(b - 0x20);
  for (int b = 0xE0; b <= 0xFF; ++b) map[b] = static_cast<std::uint8_t>(b - 0x20);
  // The Cyrillic small letters outside the basic alphabet, each with its capital.
  constexpr std::uint8_t kExtraPairs[][2] = {
      {0x83, 0x81}, {0x90, 0x80}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D},
      {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1}, {0xB3, 0xB2}, {0xB4, 0xA5},
      {0xB8, 0xA8}, {0xBA, 0xAA}, {0xBC, 0xA3}, {0xBE, 0xBD}, {0xBF, 0xAF},
  };
  for (const auto& pair : kExtraPairs) map[pair[0]] = pair[1];
  return map;
}();

static_assert(UpperCaseMap['a'] == 'A' && UpperCaseMap['z'] == 'Z');
static_assert(UpperCaseMap['['] == '[' && UpperCaseMap['{'] == '{');
static_assert(UpperCaseMap[0xB8] == 0xA8 && UpperCaseMap[0xE0] == 0xC0);
static_assert(UpperCaseMap[0xBC] == 0xA3 && UpperCaseMap[0xFF] == 0xDF);
static_assert(UpperCaseMap[0xB5] == 0xB5 && UpperCaseMap[0xA0] == 0xA0);
static_assert(UpperCaseMap[0x98] == 0x98);

// Folds one byte through UpperCaseMap.
constexpr std::uint8_t FoldCase(char byte) {
  return UpperCaseMap[static_cast<std::uint8_t>(byte)];
}

// An ASCII byte folds together only with itself and, for a letter, with the letter that
// differs from it in bit 5; no other byte folds to ASCII. Scans that look for markup bytes
// and ASCII letters by their values alone rely on this.
static_assert([] {
  for (int b = 0; b < 256; ++b) {
    const int folded = FoldCase(static_cast<char>(b));
    const bool letter = (b | 0x20) >= 'a' && (b | 0x20) <= 'z';
    if (b < 0x80 && folded != (letter ? (b & ~0x20) : b)) return false;
    if (b >= 0x80 && folded < 0x80) return false;
  }
  return true;
}());

// Whether `word` stands at `at` in `text`, bytes compared through UpperCaseMap. False when it
// would run past the end.
constexpr bool FoldedEqualAt(std::string_view text, std::size_t at, std::string_view word) {
  if (at > text.size() || text.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (FoldCase(text[at + i]) != FoldCase(word[i])) return false;
  }
  return true;
}

}  // namespace pagefields
