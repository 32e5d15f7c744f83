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

// Tries the candidates first..last (0-based) whose byte is `a` or `b`, in rising order, and
// returns the 1-based position of the first one that `rest_equal` accepts. Sixteen bytes are
// compared at a time, so dense candidates cost no call each and sparse ones pass quickly.
template <typename RestEqual>
int ScanForEither(const char* base, std::size_t first, std::size_t last, char a, char b,
                  RestEqual rest_equal) {
  std::size_t p = first;
  const std::size_t end = last + 1;
#if defined(__SSE2__)
  const __m128i want_a = _mm_set1_epi8(a);
  const __m128i want_b = _mm_set1_epi8(b);
  for (; p + 16 <= end; p += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p));
    auto hits = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(chunk, want_a), _mm_cmpeq_epi8(chunk, want_b))));
    for (; hits != 0; hits &= hits - 1) {
      const std::size_t at = p + static_cast<std::size_t>(std::countr_zero(hits));
      if (rest_equal(base + at)) return static_cast<int>(at) + 1;
    }
  }
#endif
  for (; p < end; ++p) {
    if ((base[p] == a || base[p] == b) && rest_equal(base + p)) return static_cast<int>(p) + 1;
  }
  return 0;
}

// The needle byte that candidates are found by: the first one without a case variant other
// than '<' and '>', which are common in markup ("=" of "href=", ":" of "mailto:"); else the
// first byte.
std::size_t KeyIndex(std::string_view needle) {
  for (std::size_t i = 1; i < needle.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(needle[i]);
    if (kCasePartner[b] == b && b != '<' && b != '>') return i;
  }
  return 0;
}

}  // namespace

int PosStr(std::string_view needle, std::string_view haystack, int start) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!CandidateRange(needle, haystack, start, first, last)) return 0;
  return ScanByFirstByte(needle, haystack, first, last, [needle](const char* at) {
    return std::memcmp(at + 1, needle.data() + 1, needle.size() - 1) == 0;
  });
}

int PosText(std::string_view needle, std::string_view haystack, int start) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!CandidateRange(needle, haystack, start, first, last)) return 0;
  const std::size_t key = KeyIndex(needle);
  const char byte = needle[key];
  const auto partner = static_cast<char>(kCasePartner[static_cast<std::uint8_t>(byte)]);
  // Candidates are tried by the key byte; they come in the same rising order of starts.
  const int found = ScanForEither(
      haystack.data(), first + key, last + key, byte, partner, [needle, key](const char* at) {
        const char* begin = at - key;
        return FoldCase(begin[0]) == FoldCase(needle[0]) && RestEqualsFolded(needle, begin);
      });
  return found == 0 ? 0 : found - static_cast<int>(key);
}

}  // namespace pagefields
