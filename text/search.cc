#include "text/search.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "simd/block_scan.h"
#include "simd/dispatch.h"
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

char CasePartner(char byte) {
  return static_cast<char>(kCasePartner[static_cast<std::uint8_t>(byte)]);
}

// Compares the needle with the haystack bytes at `at`: identical bytes match at once,
// different ones only when they fold to the same capital. (Function objects, so that each
// kernel's candidate loop compares inline instead of calling through a pointer.)
struct EqualsFolded {
  bool operator()(std::string_view needle, const char* at) const {
    for (std::size_t i = 0; i < needle.size(); ++i) {
      if (needle[i] != at[i] && FoldCase(needle[i]) != FoldCase(at[i])) return false;
    }
    return true;
  }
};

struct EqualsExactly {
  bool operator()(std::string_view needle, const char* at) const {
    return std::memcmp(at, needle.data(), needle.size()) == 0;
  }
};

// Markup bytes that most tags share; a needle is sifted by others where it has them, so that
// "<h1>" is not tried at every "<" that has a ">" three bytes on.
constexpr bool IsCommonInMarkup(char byte) {
  return byte == '<' || byte == '>' || byte == ' ' || byte == '/' || byte == '"' || byte == '=';
}

// The candidates of one search: the 0-based starts [first, last] at which the needle fits,
// sifted by two of its bytes, at offsets `one` and `two` of a start; each may stand there as
// itself or as its case partner (the same byte again when the search is exact).
struct Sift {
  std::size_t first;
  std::size_t last;
  std::size_t one;
  std::size_t two;
  char a, b;  // the bytes wanted at `one`
  char y, z;  // the bytes wanted at `two`
};

// The two offsets a needle is sifted by: its first and last uncommon bytes, else its ends.
// A needle of one or two bytes is sifted by all of them, so each candidate is a match.
// False when no candidate exists (empty needle or haystack, needle longer than the
// haystack, start past the last fit).
bool MakeSift(std::string_view needle, std::string_view haystack, int start, bool fold,
              Sift& sift) {
  if (needle.empty() || haystack.empty() || needle.size() > haystack.size()) return false;
  sift.first = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  sift.last = haystack.size() - needle.size();
  if (sift.first > sift.last) return false;
  const std::size_t n = needle.size();
  sift.one = 0;
  sift.two = n - 1;
  if (n > 2) {
    std::size_t one = 0;
    while (one < n && IsCommonInMarkup(needle[one])) ++one;
    std::size_t two = n - 1;
    while (two > one && IsCommonInMarkup(needle[two])) --two;
    if (one < two) {
      sift.one = one;
      sift.two = two;
    }
  }
  sift.a = needle[sift.one];
  sift.y = needle[sift.two];
  sift.b = fold ? CasePartner(sift.a) : sift.a;
  sift.z = fold ? CasePartner(sift.y) : sift.y;
  return true;
}

// Calls visit(candidate) for the sifted candidates in rising order, 64 starts at a time,
// until it returns false; returns false when it was stopped. The candidates of a block are
// the starts whose byte at `one` and whose byte at `two` are wanted ones, so the two masks
// are read at those offsets from the block. Every candidate's bytes lie inside the haystack,
// so each read at an offset sees at least the candidates' bytes.
template <typename K, typename Visit>
bool ForEachCandidate(std::string_view haystack, const Sift& sift, Visit&& visit) {
  const auto ones = [&](const char* at) {
    const typename K::Block block = K::Load(at);
    return K::Equal(block, sift.a) | K::Equal(block, sift.b);
  };
  const auto twos = [&](const char* at) {
    const typename K::Block block = K::Load(at);
    return K::Equal(block, sift.y) | K::Equal(block, sift.z);
  };
  const std::size_t end = sift.last + 1;
  for (std::size_t at = sift.first; at < end; at += simd::kBlockSize) {
    simd::Mask found = simd::MaskAt(haystack, at + sift.one, ones) &
                       simd::MaskAt(haystack, at + sift.two, twos) & simd::LowBits(end - at);
    for (; found != 0; found &= found - 1) {
      if (!visit(at + simd::FirstBit(found))) return false;
    }
  }
  return true;
}

// Position (1-based) of the first candidate from `start` that `equal` accepts, or 0.
template <typename Equal>
int FirstMatch(std::string_view needle, std::string_view haystack, int start, bool fold,
               Equal equal) {
  Sift sift;
  if (!MakeSift(needle, haystack, start, fold, sift)) return 0;
  const bool ends_decide = needle.size() <= 2;
  std::size_t match = 0;
  const bool none = simd::Dispatch([&](auto kernel) {
    return ForEachCandidate<decltype(kernel)>(haystack, sift, [&](std::size_t candidate) {
      match = candidate;
      return !ends_decide && !equal(needle, haystack.data() + candidate);
    });
  });
  return none ? 0 : static_cast<int>(match) + 1;
}

}  // namespace

int PosStr(std::string_view needle, std::string_view haystack, int start) {
  if (needle.size() == 1 && !haystack.empty()) {
    // One byte: the C library's memchr is already a block scan of its own.
    const std::size_t first = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (first >= haystack.size()) return 0;
    const void* hit = std::memchr(haystack.data() + first, needle[0], haystack.size() - first);
    return hit == nullptr ? 0
                          : static_cast<int>(static_cast<const char*>(hit) - haystack.data()) + 1;
  }
  return FirstMatch(needle, haystack, start, false, EqualsExactly{});
}

int PosText(std::string_view needle, std::string_view haystack, int start) {
  return FirstMatch(needle, haystack, start, true, EqualsFolded{});
}

int CountText(std::string_view needle, std::string_view haystack) {
  Sift sift;
  if (!MakeSift(needle, haystack, 1, true, sift)) return 0;
  const bool ends_decide = needle.size() <= 2;
  int count = 0;
  simd::Dispatch([&](auto kernel) {
    return ForEachCandidate<decltype(kernel)>(haystack, sift, [&](std::size_t candidate) {
      if (ends_decide || EqualsFolded{}(needle, haystack.data() + candidate)) ++count;
      return true;
    });
  });
  return count;
}

}  // namespace pagefields
