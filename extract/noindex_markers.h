#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "extract/avx2_check.h"

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

// The places q of an 'x' or 'X' followed by '>', 64 at a time: bit i of Find(at) is set for
// q = at + i. Reads at .. at + 64.
#if defined(__SSE2__)
struct PortablePlaces {
  static std::uint64_t Find(const char* at) {
    __m128i places[4];
    for (int i = 0; i < 4; ++i) {
      const __m128i x =
          _mm_cmpeq_epi8(_mm_or_si128(Load(at + 16 * i), _mm_set1_epi8(0x20)), _mm_set1_epi8('x'));
      places[i] = _mm_and_si128(x, _mm_cmpeq_epi8(Load(at + 16 * i + 1), _mm_set1_epi8('>')));
    }
    // Most text has no place at all, so the four sixteens are tested together first.
    const __m128i any =
        _mm_or_si128(_mm_or_si128(places[0], places[1]), _mm_or_si128(places[2], places[3]));
    if (_mm_movemask_epi8(any) == 0) return 0;
    std::uint64_t bits = 0;
    for (int i = 0; i < 4; ++i) {
      bits |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(places[i]))} << (16 * i);
    }
    return bits;
  }

 private:
  static __m128i Load(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  }
};
#endif

#if defined(PAGEFIELDS_HAS_AVX2_PATH)
// Only called from code compiled for AVX2, once the processor is known to have it.
struct Avx2Places {
  [[gnu::target("avx2")]] static std::uint64_t Find(const char* at) {
    return Half(at) | std::uint64_t{Half(at + 32)} << 32;
  }

 private:
  [[gnu::target("avx2")]] static std::uint32_t Half(const char* at) {
    const __m256i x =
        _mm256_cmpeq_epi8(_mm256_or_si256(Load(at), _mm256_set1_epi8(0x20)), _mm256_set1_epi8('x'));
    const __m256i place =
        _mm256_and_si256(x, _mm256_cmpeq_epi8(Load(at + 1), _mm256_set1_epi8('>')));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(place));
  }
  [[gnu::target("avx2")]] static __m256i Load(const char* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  }
};
#endif

// Byte by byte only: for targets without SSE2.
struct NoPlaceBlocks {};

// Calls visit(position, closing) for every "<noindex>" (closing false) and "</noindex>"
// (closing true) in `text` that starts in [from, to), in any letter case, at rising 0-based
// positions. The two markers cannot overlap each other or themselves, so this is every match
// of each.
//
// Both markers end in "noindex>", whose "x>" is rare elsewhere: the walk goes over the
// places q of an 'x' or 'X' followed by '>', 64 at a time (see `Places`), and reads the
// marker that ends there, an opening from q - 7 or a closing from q - 8. A place holds at
// most one.
template <typename Places, typename Visit>
void ForEachNoindexMarkerBy(std::string_view text, std::size_t from, std::size_t to, Visit& visit) {
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
  if constexpr (!std::is_same_v<Places, NoPlaceBlocks>) {
    for (; q + 64 <= end; q += 64) {
      for (std::uint64_t bits = Places::Find(data + q); bits != 0; bits &= bits - 1) {
        visit_ending_at(q + static_cast<std::size_t>(std::countr_zero(bits)));
      }
    }
  }
  for (; q < end; ++q) {
    if (data[q + 1] == '>' && (data[q] | 0x20) == 'x') visit_ending_at(q);
  }
}

#if defined(PAGEFIELDS_HAS_AVX2_PATH)
// Flattened, so that the whole walk, `visit` included, is compiled for AVX2.
template <typename Visit>
[[gnu::target("avx2"), gnu::flatten]] void ForEachNoindexMarkerWithAvx2(std::string_view text,
                                                                        std::size_t from,
                                                                        std::size_t to,
                                                                        Visit& visit) {
  ForEachNoindexMarkerBy<Avx2Places>(text, from, to, visit);
}
#endif

// The walk on the widest instructions this processor has.
template <typename Visit>
void ForEachNoindexMarker(std::string_view text, std::size_t from, std::size_t to, Visit visit) {
#if defined(PAGEFIELDS_HAS_AVX2_PATH)
  if (HasAvx2AndPopcnt()) return ForEachNoindexMarkerWithAvx2(text, from, to, visit);
#endif
#if defined(__SSE2__)
  ForEachNoindexMarkerBy<PortablePlaces>(text, from, to, visit);
#else
  ForEachNoindexMarkerBy<NoPlaceBlocks>(text, from, to, visit);
#endif
}

}  // namespace pagefields
