#include "text/search.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/case_map.h"

namespace pagefields {
namespace {

// For each byte, the other byte that folds to the same capital, or the byte itself when there
// is none. No capital has more than two bytes folding to it, so these two are all candidates.
constexpr auto kCasePartner = [] {
  std::array<std::uint8_t, 256> partner{};
  for (int b = 0; b < 256; ++b) {
    partner[b] = static_cast<std::uint8_t>(b);
    for (int other = 0; other < 256; ++other) {
      if (other != b && UpperCaseMap[other] == UpperCaseMap[b]) {
        partner[b] = static_cast<std::uint8_t>(other);
      }
    }
  }
  return partner;
}();

constexpr bool AtMostTwoFoldTogether() {
  for (int b = 0; b < 256; ++b) {
    for (int other = 0; other < 256; ++other) {
      if (UpperCaseMap[other] == UpperCaseMap[b] && other != b && other != kCasePartner[b]) {
        return false;
      }
    }
  }
  return true;
}

static_assert(AtMostTwoFoldTogether());
static_assert(kCasePartner['<'] == '<' && kCasePartner['a'] == 'A' && kCasePartner[0xB8] == 0xA8);

// Compares the needle with the haystack bytes at `at`: identical bytes match at once,
// different ones only when they fold to the same capital.
bool EqualsFolded(std::string_view needle, const char* at) {
  for (std::size_t i = 0; i < needle.size(); ++i) {
    if (needle[i] != at[i] && FoldCase(needle[i]) != FoldCase(at[i])) return false;
  }
  return true;
}

// Returns the 0-based range [first, last] of candidate starts, or false when empty.
bool CandidateRange(std::string_view needle, std::string_view haystack, int start,
                    std::size_t& first, std::size_t& last) {
  if (needle.empty() || haystack.empty() || needle.size() > haystack.size()) return false;
  first = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  last = haystack.size() - needle.size();
  return first <= last;
}

// Tries, by memchr on the exact first needle byte, the candidates first..last (0-based) and
// returns the 1-based position of the first one whose other bytes satisfy `rest_equal`.
template <typename RestEqual>
int ScanByFirstByte(std::string_view needle, std::string_view haystack, std::size_t first,
                    std::size_t last, RestEqual rest_equal) {
  const char* const base = haystack.data();
  const char* at = base + first;
  const char* const end = base + last + 1;
  while (at < end) {
    const void* hit = std::memchr(at, needle[0], static_cast<std::size_t>(end - at));
    if (hit == nullptr) return 0;
    at = static_cast<const char*>(hit);
    if (rest_equal(at)) return static_cast<int>(at - base) + 1;
    ++at;
  }
  return 0;
}

// Offers the candidates first..last (0-based) in rising order to `visit` as a start and a
// bit set of the candidates at start + 0 … start + 15; visit returns the 0-based position to
// stop at, or kNoCandidate to go on, and so does ScanForPair. A candidate holds `a` or `b` at
// offset `one` and `y` or `z` at offset `two` (two of the needle's bytes, see SiftOffsets),
// so sixteen starts are sifted at a time.
constexpr std::size_t kNoCandidate = static_cast<std::size_t>(-1);

struct Sift {
  std::size_t one;
  std::size_t two;
};

template <typename Visit>
std::size_t ScanForPair(const char* base, std::size_t first, std::size_t last, Sift sift, char a,
                        char b, char y, char z, Visit visit) {
  std::size_t p = first;
  const std::size_t end = last + 1;
#if defined(__SSE2__)
  const __m128i want_a = _mm_set1_epi8(a);
  const __m128i want_b = _mm_set1_epi8(b);
  const __m128i want_y = _mm_set1_epi8(y);
  const __m128i want_z = _mm_set1_epi8(z);
  // The last chunk's bytes at offset `two` end at index end - 1 + two, inside the haystack.
  for (; p + 16 <= end; p += 16) {
    const __m128i ones = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p + sift.one));
    const __m128i twos = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p + sift.two));
    const __m128i at_one = _mm_or_si128(_mm_cmpeq_epi8(ones, want_a), _mm_cmpeq_epi8(ones, want_b));
    const __m128i at_two = _mm_or_si128(_mm_cmpeq_epi8(twos, want_y), _mm_cmpeq_epi8(twos, want_z));
    const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(at_one, at_two)));
    if (hits == 0) continue;
    const std::size_t stop = visit(p, hits);
    if (stop != kNoCandidate) return stop;
  }
#endif
  for (; p < end; ++p) {
    const char one = base[p + sift.one];
    const char two = base[p + sift.two];
    if ((one == a || one == b) && (two == y || two == z)) {
      const std::size_t stop = visit(p, 1u);
      if (stop != kNoCandidate) return stop;
    }
  }
  return kNoCandidate;
}

// Markup bytes that most tags share; a needle is sifted by others where it has them, so that
// "<h1>" is not tried at every "<" that has a ">" three bytes on.
constexpr bool IsCommonInMarkup(char byte) {
  return byte == '<' || byte == '>' || byte == ' ' || byte == '/' || byte == '"' || byte == '=';
}

// The two offsets a needle is sifted by: its first and last uncommon bytes, else its ends.
// A needle of one or two bytes is sifted by all of them.
Sift SiftOffsets(std::string_view needle) {
  const std::size_t n = needle.size();
  Sift sift{0, n - 1};
  if (n <= 2) return sift;
  std::size_t one = 0;
  while (one < n && IsCommonInMarkup(needle[one])) ++one;
  std::size_t two = n - 1;
  while (two > one && IsCommonInMarkup(needle[two])) --two;
  if (one < two) sift = {one, two};
  return sift;
}

char CasePartner(char byte) {
  return static_cast<char>(kCasePartner[static_cast<std::uint8_t>(byte)]);
}

// Runs ScanForPair over the candidates of `needle` from `start` on (1-based).
template <typename Visit>
std::size_t ScanCandidates(std::string_view needle, std::string_view haystack, int start,
                           Visit visit) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!CandidateRange(needle, haystack, start, first, last)) return kNoCandidate;
  const Sift sift = SiftOffsets(needle);
  const char one = needle[sift.one];
  const char two = needle[sift.two];
  return ScanForPair(haystack.data(), first, last, sift, one, CasePartner(one), two,
                     CasePartner(two), visit);
}

}  // namespace

int PosStr(std::string_view needle, std::string_view haystack, int start) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!CandidateRange(needle, haystack, start, first, last)) return 0;
  if (needle.size() == 1) {
    const void* hit = std::memchr(haystack.data() + first, needle[0], last - first + 1);
    return hit == nullptr ? 0
                          : static_cast<int>(static_cast<const char*>(hit) - haystack.data()) + 1;
  }
  return ScanByFirstByte(needle, haystack, first, last, [needle](const char* at) {
    return std::memcmp(at + 1, needle.data() + 1, needle.size() - 1) == 0;
  });
}

int PosText(std::string_view needle, std::string_view haystack, int start) {
  const char* const base = haystack.data();
  const std::size_t at = ScanCandidates(needle, haystack, start, [&](std::size_t p, unsigned hits) {
    for (; hits != 0; hits &= hits - 1) {
      const std::size_t candidate = p + static_cast<std::size_t>(std::countr_zero(hits));
      if (EqualsFolded(needle, base + candidate)) return candidate;
    }
    return kNoCandidate;
  });
  return at == kNoCandidate ? 0 : static_cast<int>(at) + 1;
}

int CountText(std::string_view needle, std::string_view haystack) {
  const char* const base = haystack.data();
  int count = 0;
  // A needle of one or two bytes is sifted by all its bytes, so every candidate is a match.
  const bool ends_decide = needle.size() <= 2;
  ScanCandidates(needle, haystack, 1, [&](std::size_t p, unsigned hits) {
    if (ends_decide) {
      count += std::popcount(hits);
      return kNoCandidate;
    }
    for (; hits != 0; hits &= hits - 1) {
      const std::size_t candidate = p + static_cast<std::size_t>(std::countr_zero(hits));
      if (EqualsFolded(needle, base + candidate)) ++count;
    }
    return kNoCandidate;
  });
  return count;
}

}  // namespace pagefields
