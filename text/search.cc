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

// Compares needle bytes 2..n with the haystack bytes at `at`: identical bytes match at
// once, different ones only when they fold to the same capital.
bool RestEqualsFolded(std::string_view needle, const char* at) {
  for (std::size_t i = 1; i < needle.size(); ++i) {
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
// stop at, or kNoCandidate to go on, and so does ScanForEnds. A candidate holds `a` or `b` at
// its start and `y` or `z` at offset `tail` (the needle's last byte), so sixteen starts are
// sifted at a time and markup that shares only the first byte ("<" of "<a") costs nothing.
constexpr std::size_t kNoCandidate = static_cast<std::size_t>(-1);

template <typename Visit>
std::size_t ScanForEnds(const char* base, std::size_t first, std::size_t last, std::size_t tail,
                        char a, char b, char y, char z, Visit visit) {
  std::size_t p = first;
  const std::size_t end = last + 1;
#if defined(__SSE2__)
  const __m128i want_a = _mm_set1_epi8(a);
  const __m128i want_b = _mm_set1_epi8(b);
  const __m128i want_y = _mm_set1_epi8(y);
  const __m128i want_z = _mm_set1_epi8(z);
  // The sixteen tail bytes of the last chunk end at index end - 1 + tail, inside the haystack.
  for (; p + 16 <= end; p += 16) {
    const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p));
    const __m128i back = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p + tail));
    const __m128i heads = _mm_or_si128(_mm_cmpeq_epi8(head, want_a), _mm_cmpeq_epi8(head, want_b));
    const __m128i backs = _mm_or_si128(_mm_cmpeq_epi8(back, want_y), _mm_cmpeq_epi8(back, want_z));
    const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(heads, backs)));
    if (hits == 0) continue;
    const std::size_t stop = visit(p, hits);
    if (stop != kNoCandidate) return stop;
  }
#endif
  for (; p < end; ++p) {
    const char head = base[p];
    const char back = base[p + tail];
    if ((head == a || head == b) && (back == y || back == z)) {
      const std::size_t stop = visit(p, 1u);
      if (stop != kNoCandidate) return stop;
    }
  }
  return kNoCandidate;
}

char CasePartner(char byte) {
  return static_cast<char>(kCasePartner[static_cast<std::uint8_t>(byte)]);
}

// Runs ScanForEnds over the candidates of `needle` from `start` on (1-based).
template <typename Visit>
std::size_t ScanCandidates(std::string_view needle, std::string_view haystack, int start,
                           Visit visit) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!CandidateRange(needle, haystack, start, first, last)) return kNoCandidate;
  const char head = needle.front();
  const char back = needle.back();
  return ScanForEnds(haystack.data(), first, last, needle.size() - 1, head, CasePartner(head), back,
                     CasePartner(back), visit);
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
      if (RestEqualsFolded(needle, base + candidate)) return candidate;
    }
    return kNoCandidate;
  });
  return at == kNoCandidate ? 0 : static_cast<int>(at) + 1;
}

int CountText(std::string_view needle, std::string_view haystack) {
  const char* const base = haystack.data();
  int count = 0;
  // A needle of one or two bytes is all ends, so every candidate is a match.
  const bool ends_decide = needle.size() <= 2;
  ScanCandidates(needle, haystack, 1, [&](std::size_t p, unsigned hits) {
    if (ends_decide) {
      count += std::popcount(hits);
      return kNoCandidate;
    }
    for (; hits != 0; hits &= hits - 1) {
      const std::size_t candidate = p + static_cast<std::size_t>(std::countr_zero(hits));
      if (RestEqualsFolded(needle, base + candidate)) ++count;
    }
    return kNoCandidate;
  });
  return count;
}

}  // namespace pagefields
