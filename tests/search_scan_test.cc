// The searches against a naive reading on haystacks long enough for the sixteen-byte scan,
// with matches on every side of a chunk boundary, at the last position and in both cases.
#include <gtest/gtest.h>

#include <string>

#include "text/case_map.h"
#include "text/search.h"

namespace pagefields {
namespace {

int NaivePos(const std::string& needle, const std::string& haystack, int start, bool fold) {
  const int n = static_cast<int>(needle.size());
  const int m = static_cast<int>(haystack.size());
  for (int p = start; n > 0 && p <= m - n + 1; ++p) {
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

TEST(SearchScan, AgreesWithTheNaiveSearchAndCountAcrossChunkBoundaries) {
  const std::string needles[] = {"<a",        "href=", "HREF=", "\xB8\xE0", "a",
                                 "<noindex>", ">",     "<h1>",  "</>"};
  const char fillers[] = {'x', '<', 'a', 'A', '\xA8'};
  for (const std::string& needle : needles) {
    for (const char filler : fillers) {
      for (int length = 14; length <= 50; ++length) {
        for (int at = 0; at + static_cast<int>(needle.size()) <= length; at += 3) {
          std::string haystack(static_cast<std::size_t>(length), filler);
          std::string placed = needle;
          if (at % 2 == 1) {
            for (char& c : placed) c = static_cast<char>(FoldCase(c));
          }
          haystack.replace(static_cast<std::size_t>(at), placed.size(), placed);
          for (const int start : {1, 2, at + 1, at + 2, length}) {
            ASSERT_EQ(PosText(needle, haystack, start), NaivePos(needle, haystack, start, true))
                << needle << " in " << haystack << " from " << start;
            ASSERT_EQ(PosStr(needle, haystack, start), NaivePos(needle, haystack, start, false))
                << needle << " in " << haystack << " from " << start;
          }
          int naive_count = 0;
          for (int p = NaivePos(needle, haystack, 1, true); p != 0;
               p = NaivePos(needle, haystack, p + 1, true)) {
            ++naive_count;
          }
          ASSERT_EQ(CountText(needle, haystack), naive_count) << needle << " in " << haystack;
        }
      }
    }
  }
}

}  // namespace
}  // namespace pagefields
