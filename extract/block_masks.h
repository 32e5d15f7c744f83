#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "extract/avx2_check.h"

namespace pagefields {

inline constexpr std::size_t kBlockSize = 64;

// The bytes of one 64-byte block that the text size reads, as masks: bit i stands for byte i.
struct BlockMasks {
  std::uint64_t opens = 0;   // '<'
  std::uint64_t closes = 0;  // '>'
  std::uint64_t crs = 0;     // '\r'
  std::uint64_t lfs = 0;     // '\n'
  std::uint64_t p = 0;       // the letters of the break tags, in either case
  std::uint64_t b = 0;
  std::uint64_t r = 0;
};

// The mask readers and bit counters for one instruction set. Each reads exactly 64 bytes.
// 0x20 is the only bit in which an ASCII capital differs from its small letter, so a letter
// is found in either case by setting that bit first.
struct PortableBlocks {
  static int CountBits(std::uint64_t bits) {
    // Without relying on a popcount instruction the target may lack.
    bits -= (bits >> 1) & 0x5555555555555555ULL;
    bits = (bits & 0x3333333333333333ULL) + ((bits >> 2) & 0x3333333333333333ULL);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((bits * 0x0101010101010101ULL) >> 56);
  }

#if defined(__SSE2__)
  static BlockMasks Read(const char* block) {
    __m128i chunks[4];
    __m128i folded[4];
    for (int i = 0; i < 4; ++i) {
      chunks[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
      folded[i] = _mm_or_si128(chunks[i], _mm_set1_epi8(0x20));
    }
    const auto equal = [](const __m128i* from, char byte) {
      const __m128i wanted = _mm_set1_epi8(byte);
      std::uint64_t mask = 0;
      for (int i = 0; i < 4; ++i) {
        const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(from[i], wanted)));
        mask |= std::uint64_t{bits} << (16 * i);
      }
      return mask;
    };
    return {equal(chunks, '<'), equal(chunks, '>'), equal(chunks, '\r'), equal(chunks, '\n'),
            equal(folded, 'p'), equal(folded, 'b'), equal(folded, 'r')};
  }
#else
  static BlockMasks Read(const char* block) {
    BlockMasks masks;
    for (std::size_t i = 0; i < kBlockSize; ++i) {
      const std::uint64_t bit = std::uint64_t{1} << i;
      const char byte = block[i];
      if (byte == '<') masks.opens |= bit;
      if (byte == '>') masks.closes |= bit;
      if (byte == '\r') masks.crs |= bit;
      if (byte == '\n') masks.lfs |= bit;
      if ((byte | 0x20) == 'p') masks.p |= bit;
      if ((byte | 0x20) == 'b') masks.b |= bit;
      if ((byte | 0x20) == 'r') masks.r |= bit;
    }
    return masks;
  }
#endif
};

#if defined(PAGEFIELDS_HAS_AVX2_PATH)
// Only called from code compiled for AVX2 and POPCNT, once the processor is known to have them.
struct Avx2Blocks {
  [[gnu::target("popcnt")]] static int CountBits(std::uint64_t bits) {
    return __builtin_popcountll(bits);
  }

  [[gnu::target("avx2")]] static BlockMasks Read(const char* block) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32));
    const __m256i case_bit = _mm256_set1_epi8(0x20);
    const __m256i folded_low = _mm256_or_si256(low, case_bit);
    const __m256i folded_high = _mm256_or_si256(high, case_bit);
    return {Equal(low, high, '<'),
            Equal(low, high, '>'),
            Equal(low, high, '\r'),
            Equal(low, high, '\n'),
            Equal(folded_low, folded_high, 'p'),
            Equal(folded_low, folded_high, 'b'),
            Equal(folded_low, folded_high, 'r')};
  }

 private:
  [[gnu::target("avx2")]] static std::uint64_t Equal(__m256i low, __m256i high, char byte) {
    const __m256i wanted = _mm256_set1_epi8(byte);
    const auto low_bits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, wanted)));
    const auto high_bits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, wanted)));
    return std::uint64_t{low_bits} | std::uint64_t{high_bits} << 32;
  }
};
#endif

}  // namespace pagefields
