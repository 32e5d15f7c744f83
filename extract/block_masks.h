#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pagefields {

inline constexpr std::size_t kBlockSize = 64;

// The number of set bits, without relying on a popcount instruction the target may lack.
inline int CountBits(std::uint64_t bits) {
  bits -= (bits >> 1) & 0x5555555555555555ULL;
  bits = (bits & 0x3333333333333333ULL) + ((bits >> 2) & 0x3333333333333333ULL);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((bits * 0x0101010101010101ULL) >> 56);
}

// Sixty-four bytes of text, asked which of them hold a given byte: bit i of an answer stands
// for byte i. A block that would run past the text is read from a zero-padded copy.
class BlockBytes {
 public:
  BlockBytes(const char* text, std::size_t size) {
    if (size >= kBlockSize) {
      Load(text);
    } else {
      char padded[kBlockSize] = {};
      if (size != 0) std::memcpy(padded, text, size);
      Load(padded);
    }
  }

  std::uint64_t Equal(char byte) const {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(byte);
    return Bits(_mm_cmpeq_epi8(chunks_[0], wanted), _mm_cmpeq_epi8(chunks_[1], wanted),
                _mm_cmpeq_epi8(chunks_[2], wanted), _mm_cmpeq_epi8(chunks_[3], wanted));
#else
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < kBlockSize; ++i) {
      if (bytes_[i] == byte) mask |= std::uint64_t{1} << i;
    }
    return mask;
#endif
  }

  // The bytes that are the ASCII letter `lower` in either case; 0x20 is the only bit in which
  // an ASCII capital differs from its small letter.
  std::uint64_t EqualLetter(char lower) const {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(lower);
    const __m128i case_bit = _mm_set1_epi8(0x20);
    const auto equal = [&](__m128i chunk) {
      return _mm_cmpeq_epi8(_mm_or_si128(chunk, case_bit), wanted);
    };
    return Bits(equal(chunks_[0]), equal(chunks_[1]), equal(chunks_[2]), equal(chunks_[3]));
#else
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < kBlockSize; ++i) {
      if ((bytes_[i] | 0x20) == lower) mask |= std::uint64_t{1} << i;
    }
    return mask;
#endif
  }

 private:
  void Load(const char* block) {
#if defined(__SSE2__)
    for (int i = 0; i < 4; ++i) {
      chunks_[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
    }
#else
    std::memcpy(bytes_, block, kBlockSize);
#endif
  }

#if defined(__SSE2__)
  static std::uint64_t Bits(__m128i a, __m128i b, __m128i c, __m128i d) {
    const auto bits = [](__m128i chunk) {
      return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(chunk)));
    };
    return bits(a) | bits(b) << 16 | bits(c) << 32 | bits(d) << 48;
  }

  __m128i chunks_[4];
#else
  char bytes_[kBlockSize];
#endif
};

}  // namespace pagefields
