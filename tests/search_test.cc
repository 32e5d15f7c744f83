#include "text/search.h"

#include <gtest/gtest.h>

#include <string>

namespace pagefields {
namespace {

using namespace std::string_literals;

struct SearchCase {
  std::string needle;
  std::string haystack;
  int start;
  int expected;
};

TEST(PosStr, FindsFirstMatchFromStart) {
  const SearchCase cases[] = {
      {"c", "abc", 3, 3},
      {"c", "abc", 4, 0},  // last position, then past it
      {"bc", "abc", 2, 2},
      {"bc", "abc", 3, 0},  // a match must fit wholly
      {"aa", "aaa", 1, 1},
      {"aa", "aaa", 2, 2},  // overlapping candidates
      {"", "abc", 1, 0},
      {"a", "", 1, 0},  // empty needle or haystack
      {"abcd", "abc", 1, 0},
      {"b", "abcb", 3, 4},           // too long; start skips a match
      {"x\0y"s, "ab\0x\0y"s, 1, 4},  // NUL is an ordinary byte
      {"A", "a", 1, 0},              // exact: case matters
      {"ab", "aab", 0, 2},           // start below 1 reads as 1
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PosStr(c.needle, c.haystack, c.start), c.expected)
        << "needle '" << c.needle << "' in '" << c.haystack << "' from " << c.start;
  }
}

TEST(PosText, MatchesIgnoringAsciiCase) {
  const SearchCase cases[] = {
      {"<title>", "x<TITLE>y", 1, 2},
      {"<TiTlE>", "x<title>y", 1, 2},
      {"<HTML>", "<html>", 1, 1},
      {"<a", "xx<A", 1, 3},
      {"<a", "<A<a", 2, 3},
      {"bc", "ABC", 3, 0},
      {"", "abc", 1, 0},
      {"a", "", 1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PosText(c.needle, c.haystack, c.start), c.expected)
        << "needle '" << c.needle << "' in '" << c.haystack << "' from " << c.start;
  }
}

TEST(PosText, FoldsCyrillicPairsOnly) {
  EXPECT_EQ(PosText("\xB8", "x\xA8", 1), 2);  // io
  EXPECT_EQ(PosText("\xA8", "x\xB8", 1), 2);
  EXPECT_EQ(PosText("\xE0", "\xC0", 1), 1);    // a
  EXPECT_EQ(PosText("x\xBC", "X\xA3", 1), 1);  // je, in a needle's later byte
  EXPECT_EQ(PosText("\xB5", "\xB5", 1), 1);    // micro sign: only itself
  EXPECT_EQ(PosText("\xB5", "\x95\xA5", 1), 0);
  EXPECT_EQ(PosText("\xA0", " ", 1), 0);  // no-break space is not a blank
  EXPECT_EQ(PosText("[", "{", 1), 0);
  EXPECT_EQ(PosText("a[", "A{a[", 1), 3);
}

TEST(PosText, NulIsAnOrdinaryByte) {
  EXPECT_EQ(PosText("<HTML>", "\0\0<html>"s, 1), 3);
  EXPECT_EQ(PosText("a\0b"s, "A\0B"s, 1), 1);
}

}  // namespace
}  // namespace pagefields
