#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

#include "simd/isa.h"
#include "tests/each_isa.h"

namespace pagefields {
namespace {

using namespace std::string_literals;

TEST(IsUtf8, TakesOnlyTheStrictForm) {
  const struct {
    std::string text;
    bool utf8;
  } cases[] = {
      {"", true},
      {"plain ASCII, long enough to pass eight bytes at a time", true},
      {"nul\0inside"s, true},
      {"Дом — café €𝄞", true},
      {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", true},
      {"\xC0\xAF", false},          // overlong '/'
      {"\xC1\xBF", false},          // overlong
      {"\xE0\x9F\xBF", false},      // overlong three-byte form
      {"\xF0\x8F\xBF\xBF", false},  // overlong four-byte form
      {"\xED\xA0\x80", false},      // surrogate U+D800
      {"\xED\xBF\xBF", false},      // surrogate U+DFFF
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false},  // no such lead byte
      {"\x80", false},              // a continuation byte alone
      {"abcdefgh\xD0", false},      // cut short at the end, behind an ASCII run
      {"\xE2\x80", false},          // cut short
      {"\xE2\x80x", false},         // broken by ASCII
      {"\xC4\xEE\xEC", false},      // Windows-1251
  };
  for (const auto& c : cases) EXPECT_EQ(IsUtf8(c.text), c.utf8) << c.text;
}

TEST(IsAscii, LooksAtEveryByteOnEveryKernel) {
  for (const simd::Isa isa : RunnableIsas()) {
    const simd::ScopedIsa held(isa);
    EXPECT_TRUE(IsAscii("")) << simd::IsaName(isa);
    EXPECT_TRUE(IsAscii("nul\0and\x7F, long enough for whole words"s)) << simd::IsaName(isa);
    // One high byte anywhere in texts that end inside, at and past a block's end, and a run
    // of four blocks' end.
    for (const std::size_t size : {1, 20, 63, 64, 65, 130, 255, 256, 257, 600}) {
      EXPECT_TRUE(IsAscii(std::string(size, '\x7F'))) << simd::IsaName(isa) << " " << size;
      for (std::size_t at = 0; at < size; ++at) {
        for (const char high : {'\x80', '\xFF'}) {
          std::string text(size, 'a');
          text[at] = high;
          EXPECT_FALSE(IsAscii(text)) << simd::IsaName(isa) << " " << size << " at " << at;
        }
      }
    }
  }
}

TEST(Utf8CutLength, NeverSplitsACharacter) {
  const std::string text = "aЖ—𝄞";  // 1, 2, 3 and 4 bytes: characters end at 1, 3, 6, 10
  const std::size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
  for (std::size_t max_bytes = 0; max_bytes < std::size(expected); ++max_bytes) {
    EXPECT_EQ(Utf8CutLength(text, max_bytes), expected[max_bytes]) << max_bytes;
  }
}

TEST(WholeCharactersLength, DropsOnlyACharacterCutShort) {
  const struct {
    std::string text;
    std::size_t length;
  } cases[] = {
      {"", 0},
      {"ab", 2},
      {"aЖ", 3},
      {"a\xD0", 1},
      {"a\xE2\x80", 1},
      {"a\xE2\x80\x94", 4},
      {"a\xF0\x9D\x84", 1},
      {"\x80\x80\x80\x80", 4},
      {"a\xC4", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(WholeCharactersLength(c.text), c.length) << c.text;
}

TEST(CodePageTable, DecodesWindows1251) {
  std::string utf8;
  AppendDecoded(utf8, "AZ \xC0\xDF\xE0\xFF\xA8\xB8\xAB\xBB\x96\x97\x98\x88\xB9", kWindows1251);
  EXPECT_EQ(utf8, "AZ АЯаяЁё«»–—\xEF\xBF\xBD€№");
  EXPECT_EQ(Utf8OrDecoded("Дом", kWindows1251), "Дом");
  EXPECT_EQ(Utf8OrDecoded("\xC4\xEE\xEC", kWindows1251), "Дом");
}

}  // namespace
}  // namespace pagefields
