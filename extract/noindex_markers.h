#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/case_map.h"

namespace pagefields {

inline constexpr std::string_view kNoindexOpening = "<noindex>";
inline constexpr std::string_view kNoindexClosing = "</noindex>";

// Whether `marker` stands at `at` in `text`, bytes compared through UpperCaseMap.
inline bool MarkerAt(std::string_view text, std::size_t at, std::string_view marker) {
  if (text.size() - at < marker.size()) return false;
  for (std::size_t i = 0; i < marker.size(); ++i) {
    if (FoldCase(text[at + i]) != FoldCase(marker[i])) return false;
  }
  return true;
}

// Only 'n' and 'N' fold to 'N', and '<', '/' and '>' fold to nothing else, so a marker's
// second byte is one of "nN/" and the sift below lets every marker through.
static_assert([] {
  for (int b = 0; b < 256; ++b) {
    const auto folded = FoldCase(static_cast<char>(b));
    if (folded == 'N' && b != 'n' && b != 'N') return false;
    if ((folded == '<' || folded == '/' || folded == '>') && folded != b) return false;
  }
  return true;
}());

// A byte folds to the small ASCII letter v's capital exactly when setting its bit 5 gives v.
static_assert([] {
  for (int v = 'a'; v <= 'z'; ++v) {
    for (int b = 0; b < 256; ++b) {
      const bool folds = FoldCase(static_cast<char>(b)) == FoldCase(static_cast<char>(v));
      if (folds != ((b | 0x20) == v)) return false;
    }
  }
  return true;
}());

// Whether the eight bytes at `at` are "noindex>" in any letter case: the seven letters are
// compared with bit 5 set, the ">" as it is.
inline bool NoindexWordAt(const char* at) {
  static constexpr char kWord[8] = {'n', 'o', 'i', 'n', 'd', 'e', 'x', '>'};
  static constexpr char kLetterBits[8] = {0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0};
  std::uint64_t bytes = 0;
  std::uint64_t word = 0;
  std::uint64_t letter_bits = 0;
  std::memcpy(&bytes, at, 8);
  std::memcpy(&word, kWord, 8);
  std::memcpy(&letter_bits, kLetterBits, 8);
  return (bytes | letter_bits) == word;
}

// Calls visit(position, closing) for every "<noindex>" (closing false) and "</noindex>"
// (closing true) in `text` that starts in [from, to), in any letter case, at rising 0-based
// positions. The two
// markers cannot overlap each other or themselves, so this is every match of each.
// Sixteen starts are sifted at a time by the bytes without case variants and the second
// byte: '<' at 0 and either 'n' at 1 and '>' at 8, or '/' at 1 and '>' at 9.
template <typename Visit>
void ForEachNoindexMarker(std::string_view text, std::size_t from, std::size_t to, Visit visit) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  to = std::min(to, size);
  std::size_t p = from;
#if defined(__SSE2__)
  const auto load = [data](std::size_t at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
  };
  // Every candidate's marker lies inside the text, so its eight letters can be read at once.
  for (; p + 16 <= to && p + 16 + kNoindexClosing.size() - 1 <= size; p += 16) {
    const __m128i second = load(p + 1);
    const __m128i opening =
        _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(second, _mm_set1_epi8(0x20)), _mm_set1_epi8('n')),
                      _mm_cmpeq_epi8(load(p + 8), _mm_set1_epi8('>')));
    const __m128i closing = _mm_and_si128(_mm_cmpeq_epi8(second, _mm_set1_epi8('/')),
                                          _mm_cmpeq_epi8(load(p + 9), _mm_set1_epi8('>')));
    const __m128i candidates =
        _mm_and_si128(_mm_cmpeq_epi8(load(p), _mm_set1_epi8('<')), _mm_or_si128(opening, closing));
    for (auto bits = static_cast<unsigned>(_mm_movemask_epi8(candidates)); bits != 0;
         bits &= bits - 1) {
      const std::size_t at = p + static_cast<std::size_t>(std::countr_zero(bits));
      const bool closing_marker = data[at + 1] == '/';
      if (NoindexWordAt(data + at + (closing_marker ? 2 : 1))) visit(at, closing_marker);
    }
  }
#endif
  for (; p < to; ++p) {
    if (data[p] != '<') continue;
    if (MarkerAt(text, p, kNoindexOpening)) {
      visit(p, false);
    } else if (MarkerAt(text, p, kNoindexClosing)) {
      visit(p, true);
    }
  }
}

}  // namespace pagefields
