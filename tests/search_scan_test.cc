// The searches against a naive reading: on every kernel, on haystacks long enough for the
// block scan, with matches on every side of a block end, at the last position and in both
// cases, and on random small-alphabet haystacks where near misses and overlaps are common.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "simd/isa.h"
#include "tests/each_isa.h"
#include "text/case_map.h"
#include "text/search.h"

namespace pagefields {
namespace {

int NaivePos(const std::string& needle, const std::string& haystack, int start, bool fold) {
  const int n = static_cast<int>(needle.size());
  const int m = static_cast<int>(haystack.size());
  for (int p = std::max(start, 1); n > 0 && p <= m - n + 1; ++p) {
    bool equal = true;
    for (int i = 0; i < n && equal; ++i) {
      const char a = needle[static_cast<std::size_t>(i)];
      const char b = haystack[static_cast<std::size_t>(p - 1 + i)];
      equal = fold ? FoldCase(a) == FoldCase(b) : a == b;
    }
    if (equal) return p;
  }
  return 0;
}

int NaiveCount(const std::string& needle, const std::string& haystack) {
  int count = 0;
  for (int p = NaivePos(needle, haystack, 1, true); p != 0;
       p = NaivePos(needle, haystack, p + 1, true)) {
    ++count;
  }
  return count;
}

TEST(SearchScan, AgreesWithTheNaiveSearchAndCountAcrossBlockEnds) {
  const std::string needles[] = {"<a",        "href=", "HREF=", "\xB8\xE0", "a",
                                 "<noindex>", ">",     "<h1>",  "</>"};
  const char fillers[] = {'x', '<', 'a', 'A', '\xA8'};
  for (const simd::Isa isa : RunnableIsas()) {
    const simd::ScopedIsa held(isa);
    for (const std::string& needle : needles) {
      for (const char filler : fillers) {
        for (const int length : {14, 15, 16, 17, 31, 32, 33, 62, 63, 64, 65, 66, 127, 128, 130}) {
          for (int at = 0; at + static_cast<int>(needle.size()) <= length; ++at) {
            std::string haystack(static_cast<std::size_t>(length), filler);
            std::string placed = needle;
            if (at % 2 == 1) {
              for (char& c : placed) c = static_cast<char>(FoldCase(c));
            }
            haystack.replace(static_cast<std::size_t>(at), placed.size(), placed);
            for (const int start : {0, 1, 2, at + 1, at + 2, length}) {
              ASSERT_EQ(PosText(needle, haystack, start), NaivePos(needle, haystack, start, true))
                  << simd::IsaName(isa) << ": " << needle << " in " << haystack << " from "
                  << start;
              ASSERT_EQ(PosStr(needle, haystack, start), NaivePos(needle, haystack, start, false))
                  << simd::IsaName(isa) << ": " << needle << " in " << haystack << " from "
                  << start;
            }
            ASSERT_EQ(CountText(needle, haystack), NaiveCount(needle, haystack))
                << simd::IsaName(isa) << ": " << needle << " in " << haystack;
          }
        }
      }
    }
  }
}

// Needles of every length from one byte on, with bytes the search sifts by and bytes it
// skips as common in markup, with case pairs and a NUL.
TEST(SearchScan, AgreesWithTheNaiveSearchOnSmallAlphabetHaystacksOnEveryKernel) {
  const std::string needles[] = {"a",     "A",   "<",       std::string("\0", 1),
                                 "aa",    "<a",  "a<",      "\xA8\xB8",
                                 "<a>",   "aAa", "< a",     "a=\"",
                                 "<a a>", "=<=", "aaaaaaa", std::string("a\0<", 3)};
  const std::string alphabet("aA<> =\"\xA8\xB8\0", 10);
  std::mt19937 random(5);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  for (int round = 0; round < 60; ++round) {
    std::string haystack(static_cast<std::size_t>(round * 3), ' ');
    for (char& c : haystack) c = alphabet[pick(random)];
    for (const std::string& needle : needles) {
      const int expected_count = NaiveCount(needle, haystack);
      for (const simd::Isa isa : RunnableIsas()) {
        const simd::ScopedIsa held(isa);
        for (int start = 0; start <= static_cast<int>(haystack.size()) + 1; ++start) {
          ASSERT_EQ(PosText(needle, haystack, start), NaivePos(needle, haystack, start, true))
              << simd::IsaName(isa) << ": " << needle << " from " << start;
          ASSERT_EQ(PosStr(needle, haystack, start), NaivePos(needle, haystack, start, false))
              << simd::IsaName(isa) << ": " << needle << " from " << start;
        }
        ASSERT_EQ(CountText(needle, haystack), expected_count)
            << simd::IsaName(isa) << ": " << needle;
      }
    }
  }
}

// The haystack is a view into longer text whose next bytes would complete a match: a match
// must end inside the haystack, whichever needle bytes the search sifts by.
TEST(SearchScan, NoMatchRunsPastTheHaystacksEnd) {
  const std::string needles[] = {"<a a>", "<h1>", "a=\"", "<a", "aAa", "</noindex>"};
  for (const simd::Isa isa : RunnableIsas()) {
    const simd::ScopedIsa held(isa);
    for (const std::string& needle : needles) {
      for (const std::size_t before : {0, 1, 60, 63, 64, 65, 127}) {
        const std::string text = std::string(before, 'x') + needle;
        for (std::size_t cut = 1; cut < needle.size(); ++cut) {
          const std::string_view haystack(text.data(), text.size() - cut);
          EXPECT_EQ(PosText(needle, haystack, 1), 0) << simd::IsaName(isa) << ": " << needle;
          EXPECT_EQ(PosStr(needle, haystack, 1), 0) << simd::IsaName(isa) << ": " << needle;
          EXPECT_EQ(CountText(needle, haystack), 0) << simd::IsaName(isa) << ": " << needle;
        }
        EXPECT_EQ(PosText(needle, text, 1), static_cast<int>(before) + 1) << needle;
        EXPECT_EQ(CountText(needle, text), 1) << needle;
      }
    }
  }
}

}  // namespace
}  // namespace pagefields
