#pragma once

#include <bit>
#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pagefields {

inline constexpr std::size_t kStopScan = static_cast<std::size_t>(-1);

// Calls visit(position) for the 0-based positions from `from` on whose byte is `a` or `b`, in
// rising order. visit returns where to go on (a later position) or kStopScan. Sixteen bytes
// are compared at a time, so dense hits cost no call each and sparse ones pass quickly.
template <typename Visit>
void ScanForBytes(std::string_view text, std::size_t from, char a, char b, Visit visit) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  std::size_t p = from;
  while (p < size) {  // kStopScan is past every size
#if defined(__SSE2__)
    if (p + 16 <= size) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p));
      const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
          _mm_cmpeq_epi8(chunk, _mm_set1_epi8(a)), _mm_cmpeq_epi8(chunk, _mm_set1_epi8(b)))));
      if (hits == 0) {
        p += 16;
        continue;
      }
      p += static_cast<std::size_t>(std::countr_zero(hits));
      p = visit(p);
      continue;
    }
#endif
    if (data[p] == a || data[p] == b) {
      p = visit(p);
    } else {
      ++p;
    }
  }
}

}  // namespace pagefields
