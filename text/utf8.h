#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pagefields {

// Whether `text` is UTF-8 in its strict form: no overlong forms, no surrogates (U+D800 to
// U+DFFF), nothing above U+10FFFF, no sequence cut short. The empty text is UTF-8.
bool IsUtf8(std::string_view text);

// Whether every byte of `text` is below 0x80.
bool IsAscii(std::string_view text);

// The length of the longest prefix of the UTF-8 `text` that holds at most `max_bytes` bytes
// and ends between two characters: a character the cut would split is left out whole.
std::size_t Utf8CutLength(std::string_view text, std::size_t max_bytes);

// The length of `text` without a character its end cuts short: the bytes from the last lead
// byte among its last three on, when they are fewer than that lead byte announces.
std::size_t WholeCharactersLength(std::string_view text);

// The UTF-8 form of every byte of a single-byte code page whose lower half is ASCII.
struct CodePageTable {
  struct Character {
    std::array<char, 3> bytes{};  // every such code page stays inside U+0000 to U+FFFF
    std::uint8_t size = 0;
  };
  std::array<Character, 256> characters{};
};

// The table of a code page whose bytes 0x80 to 0xFF stand for `upper_half`; U+FFFD marks a
// byte the code page leaves unassigned.
constexpr CodePageTable MakeCodePageTable(const std::array<char32_t, 128>& upper_half) {
  CodePageTable table;
  for (std::size_t byte = 0; byte < 256; ++byte) {
    const char32_t c = byte < 0x80 ? static_cast<char32_t>(byte) : upper_half[byte - 0x80];
    auto& [bytes, size] = table.characters[byte];
    if (c < 0x80) {
      bytes = {static_cast<char>(c), 0, 0};
      size = 1;
    } else if (c < 0x800) {
      bytes = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F)), 0};
      size = 2;
    } else {
      bytes = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
               static_cast<char>(0x80 | (c & 0x3F))};
      size = 3;
    }
  }
  return table;
}

// Windows-1251: the code page whose letters the library folds and counts as word characters.
// Its one unassigned byte, 0x98, becomes U+FFFD.
inline constexpr CodePageTable kWindows1251 = MakeCodePageTable([] {
  std::array<char32_t, 128> upper{
      0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
      0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
      0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
      0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
      0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
      0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
      0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
      0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
  };
  // 0xC0 to 0xFF: the 64 letters А to я in their Unicode order.
  for (std::size_t i = 0x40; i < 0x80; ++i) upper[i] = 0x0410 + static_cast<char32_t>(i - 0x40);
  return upper;
}());

static_assert(kWindows1251.characters[0xC0].bytes[0] == '\xD0' &&
              kWindows1251.characters[0xC0].bytes[1] == '\x90');  // А, U+0410
static_assert(kWindows1251.characters[0xFF].bytes[0] == '\xD1' &&
              kWindows1251.characters[0xFF].bytes[1] == '\x8F');  // я, U+044F
static_assert(kWindows1251.characters[0x97].size == 3 &&
              kWindows1251.characters[0x97].bytes[2] == '\x94');  // —, U+2014
static_assert(kWindows1251.characters[0x98].size == 3 &&
              kWindows1251.characters[0x98].bytes[2] == '\xBD');  // U+FFFD

// Appends `bytes` decoded from the code page of `table` to `out`.
void AppendDecoded(std::string& out, std::string_view bytes, const CodePageTable& table);

// `bytes` as it stands when it is UTF-8, else decoded from the code page of `table`.
std::string Utf8OrDecoded(std::string_view bytes, const CodePageTable& table);

}  // namespace pagefields
