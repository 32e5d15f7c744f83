#include "extract/word_count.h"

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pagefields {
namespace {

#if defined(__SSE2__)
// 0xFF in each of the sixteen bytes that is in WordCharSet, 0 in the others.
__m128i WordBytes(__m128i chunk) {
  const auto at_most = [](__m128i bytes, int limit) {
    return _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(static_cast<char>(limit))), bytes);
  };
  const __m128i digits = at_most(_mm_sub_epi8(chunk, _mm_set1_epi8('0')), 9);
  // Setting bit 5 makes every capital ASCII letter small and moves no other byte there.
  const __m128i small = _mm_or_si128(chunk, _mm_set1_epi8(0x20));
  const __m128i letters = at_most(_mm_sub_epi8(small, _mm_set1_epi8('a')), 25);
  const __m128i from_c0 =
      _mm_cmpeq_epi8(_mm_max_epu8(chunk, _mm_set1_epi8(static_cast<char>(0xC0))), chunk);
  // 0xA8 and 0xB8 differ in bit 4 alone.
  const __m128i io = _mm_cmpeq_epi8(_mm_or_si128(chunk, _mm_set1_epi8(0x10)),
                                    _mm_set1_epi8(static_cast<char>(0xB8)));
  return _mm_or_si128(_mm_or_si128(digits, letters), _mm_or_si128(from_c0, io));
}
#endif

}  // namespace

int CountWords(std::string_view text) {
  // A word starts at every member byte whose byte before is not a member.
  int count = 0;
  std::size_t at = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  __m128i previous = zero;  // the member bytes of the sixteen before
  while (at + 16 <= text.size()) {
    // Each of the sixteen byte counters takes at most one start per chunk: 255 chunks fit.
    __m128i starts = zero;
    for (int chunk = 0; chunk < 255 && at + 16 <= text.size(); ++chunk, at += 16) {
      const __m128i members =
          WordBytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at)));
      const __m128i before = _mm_or_si128(_mm_slli_si128(members, 1), _mm_srli_si128(previous, 15));
      starts = _mm_sub_epi8(starts, _mm_andnot_si128(before, members));
      previous = members;
    }
    const __m128i sums = _mm_sad_epu8(starts, zero);
    count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  }
#endif
  bool in_word = at > 0 && IsWordChar(text[at - 1]);
  for (; at < text.size(); ++at) {
    const bool member = IsWordChar(text[at]);
    if (member && !in_word) ++count;
    in_word = member;
  }
  return count;
}

}  // namespace pagefields
