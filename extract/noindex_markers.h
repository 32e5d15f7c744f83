#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "simd/block_scan.h"

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

// The places q of an 'x' or 'X' followed by '>', and of the NUL bytes: bit i is set for
// q = at + i. Most blocks have none, so the mask is built only when a lane is set.
template <typename K>
struct XBeforeGtOrNul {
  simd::Mask operator()(const char* at) const {
    const typename K::Block block = K::Load(at);
    const typename K::Lanes places =
        K::Or(K::And(K::EqualFoldedLanes(block, 'x'), K::EqualLanes(K::Load(at + 1), '>')),
              K::EqualLanes(block, '\0'));
    return K::Any(places) ? K::ToMask(places) : 0;
  }
};

// Calls visit(position, closing) for every "<noindex>" (closing false) and "</noindex>"
// (closing true) in `text` that starts in [from, to), in any letter case, at rising 0-based
// positions, on kernel K. The two markers cannot overlap each other or themselves, so this is
// every match of each.
//
// Both markers end in "noindex>", whose "x>" is rare elsewhere: the walk goes over the
// places q of an 'x' or 'X' followed by '>' and reads the marker that ends there, an opening
// from q - 7 or a closing from q - 8. A place holds at most one.
//
// It also calls saw_nul() for the NUL bytes it passes, which a page's text ends at. It looks
// at the bytes from `from` + 7 up to `to` + 8 or the text's last byte: over walks of ranges
// that follow each other from 0, every byte but the first 7 and the last, which no block's
// contents can hold. A NUL may be reported by two such walks.
template <typename K, typename Visit, typename SawNul>
void ForEachNoindexMarkerWith(std::string_view text, std::size_t from, std::size_t to,
                              Visit&& visit, SawNul&& saw_nul) {
  const char* const data = text.data();
  to = std::min(to, text.size());
  if (from >= to) return;
  // From the 'x' of an opening at `from` to past that of a closing at `to` - 1; the '>'
  // behind each place lies inside the text.
  const std::size_t first = from + 7;
  const std::size_t end = std::min(to + 8, text.size() - 1);
  if (first >= end) return;
  const auto at_place = [&](std::size_t q) {
    if (!NoindexWordAt(data + q - 6)) {
      // The place of a NUL holds no marker: a marker has its 'x' there.
      if (data[q] == '\0') saw_nul();
      return true;
    }
    if (data[q - 7] == '<') {
      if (q - 7 < to) visit(q - 7, false);
    } else if (data[q - 7] == '/' && q >= 8 + from && data[q - 8] == '<' && q - 8 < to) {
      visit(q - 8, true);
    }
    return true;
  };
  // The blocks start on a 64-byte boundary of memory: a block then lies in one cache line,
  // and of its bytes read one on, only the last part's load spans two. The first block is
  // read from that boundary in front of `first`, its places there passed over.
  const std::size_t misalignment =
      reinterpret_cast<std::uintptr_t>(data + first) % simd::kBlockSize;
  const std::size_t start = first - std::min(first, misalignment);
  std::size_t whole_from = first;
  if (start < first) {
    const simd::Mask places = simd::MaskAt<1>(text, start, XBeforeGtOrNul<K>{}) &
                              ~simd::LowBits(first - start) & simd::LowBits(end - start);
    for (simd::Mask left = places; left != 0; left &= left - 1) {
      at_place(start + simd::FirstBit(left));
    }
    whole_from = start + simd::kBlockSize;
  }
  if (whole_from < end) {
    simd::ForEachSelected<1>(text, whole_from, end, XBeforeGtOrNul<K>{}, at_place);
  }
}

}  // namespace pagefields
