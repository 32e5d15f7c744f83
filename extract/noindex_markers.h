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

// Only 'n' and 'N' fold to 'N', and '<', '/' and '>' fold only with themselves (see
// case_map.h), so a marker's second byte is one of "nN/" and the sift below lets every marker
// through; letters are compared by their bit 5.
//
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
    if (FoldedEqualAt(text, p, kNoindexOpening)) {
      visit(p, false);
    } else if (FoldedEqualAt(text, p, kNoindexClosing)) {
      visit(p, true);
    }
  }
}

}  // namespace pagefields
