#include "text/search.h"

#include <cstring>

#include "text/case_map.h"

namespace pagefields {
namespace {

// True when no byte other than `byte` itself folds to the same capital, so that an
// exact memchr finds every candidate for it.
constexpr bool HasNoCaseVariant(std::uint8_t byte) {
  for (int other = 0; other < 256; ++other) {
    if (other != byte && UpperCaseMap[other] == UpperCaseMap[byte]) return false;
  }
  return true;
}

constexpr auto kHasNoCaseVariant = [] {
  std::array<bool, 256> table{};
  for (int b = 0; b < 256; ++b) table[b] = HasNoCaseVariant(static_cast<std::uint8_t>(b));
  return table;
}();

static_assert(kHasNoCaseVariant['<'] && !kHasNoCaseVariant['a'] && !kHasNoCaseVariant[0xB8]);

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
  if (kHasNoCaseVariant[static_cast<std::uint8_t>(needle[0])]) {
    return ScanByFirstByte(needle, haystack, first, last,
                           [needle](const char* at) { return RestEqualsFolded(needle, at); });
  }
  const std::uint8_t lead = FoldCase(needle[0]);
  const char* const base = haystack.data();
  for (std::size_t p = first; p <= last; ++p) {
    if (FoldCase(base[p]) == lead && RestEqualsFolded(needle, base + p)) {
      return static_cast<int>(p) + 1;
    }
  }
  return 0;
}

}  // namespace pagefields
