#include "extract/word_count.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pagefields {
namespace {

// Bit i is set when byte i of the sixteen at `p` is in WordCharSet.
unsigned WordCharMask(const char* p) {
#if defined(__SSE2__)
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Whether each byte, less `low`, is at most `span` (unsigned): the range low..low + span.
  const auto in_range = [chunk](char low, char span) {
    const __m128i offset = _mm_sub_epi8(chunk, _mm_set1_epi8(low));
    return _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(span)), offset);
  };
  const __m128i digits = in_range('0', 9);
  // Setting bit 5 makes every capital ASCII letter small and moves no other byte there.
  const __m128i folded = _mm_or_si128(chunk, _mm_set1_epi8(0x20));
  const __m128i offset = _mm_sub_epi8(folded, _mm_set1_epi8('a'));
  const __m128i letters = _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(25)), offset);
  const __m128i cyrillic =
      _mm_or_si128(in_range(static_cast<char>(0xC0), 0x3F),
                   _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(static_cast<char>(0xA8))),
                                _mm_cmpeq_epi8(chunk, _mm_set1_epi8(static_cast<char>(0xB8)))));
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_or_si128(digits, _mm_or_si128(letters, cyrillic))));
#else
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) mask |= (IsWordChar(p[i]) ? 1u : 0u) << i;
  return mask;
#endif
}

}  // namespace

int CountWords(std::string_view text) {
  // A word starts at every member byte whose byte before is not a member.
  int count = 0;
  unsigned previous = 0;  // 1 when the byte before the chunk is a member
  std::size_t at = 0;
  for (; at + 16 <= text.size(); at += 16) {
    const unsigned members = WordCharMask(text.data() + at);
    count += std::popcount(members & ~((members << 1) | previous));
    previous = members >> 15;
  }
  for (; at < text.size(); ++at) {
    const unsigned member = IsWordChar(text[at]) ? 1u : 0u;
    count += static_cast<int>(member & ~previous);
    previous = member;
  }
  return count;
}

}  // namespace pagefields
