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

namespace pagefields {

inline constexpr std::string_view kNoindexOpening = "<noindex>";
inline constexpr std::string_view kNoindexClosing = "</noindex>";

// Only 'n' and 'N' fold to 'N', and '<', '/' and '>' fold only with themselves (see
// case_map.h); letters are compared by their bit 5.
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
// positions. The two markers cannot overlap each other or themselves, so this is every match
// of each.
//
// Both markers end in "noindex>", whose "x>" is rare elsewhere: the walk goes over the
// places q of an 'x' or 'X' followed by '>', sixteen at a time, and reads the marker that
// ends there, an opening from q - 7 or a closing from q - 8. A place holds at most one.
template <typename Visit>
void ForEachNoindexMarker(std::string_view text, std::size_t from, std::size_t to, Visit visit) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  to = std::min(to, size);
  if (from >= to) return;
  const auto visit_ending_at = [&](std::size_t q) {
    if (!NoindexWordAt(data + q - 6)) return;
    if (data[q - 7] == '<') {
      if (q - 7 < to) visit(q - 7, false);
    } else if (data[q - 7] == '/' && q >= 8 + from && data[q - 8] == '<' && q - 8 < to) {
      visit(q - 8, true);
    }
  };
  // From the 'x' of an opening at `from` to past that of a closing at `to` - 1; the '>'
  // behind each place lies inside the text.
  std::size_t q = from + 7;
  const std::size_t end = std::min(to + 8, size - 1);
#if defined(__SSE2__)
  const auto load = [data](std::size_t at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
  };
  const auto places = [&load](std::size_t at) {
    const __m128i x =
        _mm_cmpeq_epi8(_mm_or_si128(load(at), _mm_set1_epi8(0x20)), _mm_set1_epi8('x'));
    return _mm_and_si128(x, _mm_cmpeq_epi8(load(at + 1), _mm_set1_epi8('>')));
  };
  const auto visit_places = [&](std::size_t at, __m128i found) {
    for (auto bits = static_cast<unsigned>(_mm_movemask_epi8(found)); bits != 0; bits &= bits - 1) {
      visit_ending_at(at + static_cast<std::size_t>(std::countr_zero(bits)));
    }
  };
  // Most text has no place at all, so four sixteens are tested together first.
  for (; q + 64 <= end; q += 64) {
    const __m128i a = places(q);
    const __m128i b = places(q + 16);
    const __m128i c = places(q + 32);
    const __m128i d = places(q + 48);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0) continue;
    visit_places(q, a);
    visit_places(q + 16, b);
    visit_places(q + 32, c);
    visit_places(q + 48, d);
  }
  for (; q + 16 <= end; q += 16) visit_places(q, places(q));
#endif
  for (; q < end; ++q) {
    if (data[q + 1] == '>' && (data[q] | 0x20) == 'x') visit_ending_at(q);
  }
}

}  // namespace pagefields
