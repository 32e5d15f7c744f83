#pragma once

// The block kernels: one struct per instruction set, each giving the same few operations on
// a block of 64 bytes. A scan is written once against these operations (see block_scan.h) and
// compiled for each kernel (see dispatch.h); it says which bytes it looks for, never how the
// vector compare is spelled.
//
//   Load(at)                 the 64 bytes from `at`
//   Equal(block, b)          bit i set where byte i is b
//   Splat(b)                 a block of 64 bytes b
//   Equal(block, other)      bit i set where byte i is the same in both blocks
//   AnyOf(block, b, c, …)    bit i set where byte i is any of them
//   EqualFolded(block, s)    bit i set where byte i with bit 5 set is s: for an ASCII small
//                            letter s, that letter in either case
//   InRange(block, lo, hi)   bit i set where lo <= byte i <= hi, bytes taken as unsigned
//   InRangeFolded(block, lo, hi)  the same for byte i with bit 5 set: with lo = 'a' and
//                            hi = 'z', the ASCII letters in either case
//   HighBits(block)          bit i set where byte i is 0x80 or above: the bytes outside ASCII
//   Merge(block, other)      the block whose byte i is byte i of both or'ed: a run of blocks
//                            merged has a high bit where any of them has
//   Count(mask)              the set bits of a mask
//
// A loop that compares with the same byte at every step and also calls functions can keep
// that byte's Splat: the vector registers do not outlive a call, and the compiler would
// otherwise build the vector again at each step, where a compare with a kept block reads it
// from memory in the same instruction.
//
// Compares can also be combined on the vectors before a mask is built, which costs one mask
// extraction for the whole combination instead of one per compare, and lets a scan skip the
// extraction when nothing matched:
//
//   Lanes                    one lane per byte of a block, set or clear
//   EqualLanes(block, b)     the lanes of the bytes equal to b, as Equal
//   EqualFoldedLanes(block, s)  as EqualFolded
//   And(a, b), Or(a, b), AndNot(a, b)   a & b, a | b and a & ~b, lane by lane
//   Any(lanes)               whether any lane is set
//   ToMask(lanes)            bit i set where lane i is
//
// The scalar kernel is the reference the others are tested against, and the one every build
// has.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "simd/isa.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define PAGEFIELDS_SIMD_X86 1
#endif

namespace pagefields::simd {

inline constexpr std::size_t kBlockSize = 64;

// One bit per byte of a block: bit i stands for byte i.
using Mask = std::uint64_t;

// The low `count` bits set; all of them from 64 on.
constexpr Mask LowBits(std::size_t count) {
  return count >= 64 ? ~Mask{0} : (Mask{1} << count) - 1;
}

// The set bits of a mask. On x86 without POPCNT, std::popcount calls a library routine, and a
// call in a scan's block loop makes the compiler keep its vector constants in memory; a few
// inline instructions do instead.
constexpr int CountBits(Mask mask) {
#if defined(PAGEFIELDS_SIMD_X86) && !defined(__POPCNT__)
  mask -= (mask >> 1) & 0x5555555555555555u;
  mask = (mask & 0x3333333333333333u) + ((mask >> 2) & 0x3333333333333333u);
  mask = (mask + (mask >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<int>((mask * 0x0101010101010101u) >> 56);
#else
  return std::popcount(mask);
#endif
}

constexpr std::size_t FirstBit(Mask bits) {
  return static_cast<std::size_t>(std::countr_zero(bits));
}

// The highest set bit of a mask that has one.
constexpr std::size_t LastBit(Mask bits) {
  return kBlockSize - 1 - static_cast<std::size_t>(std::countl_zero(bits));
}

struct ScalarKernel {
  static constexpr Isa kIsa = Isa::kScalar;

  struct Block {
    unsigned char bytes[kBlockSize];
  };

  static Block Load(const char* at) {
    Block block;
    std::memcpy(block.bytes, at, kBlockSize);
    return block;
  }

  template <typename Test>
  static Mask Select(const Block& block, Test test) {
    Mask mask = 0;
    for (std::size_t i = 0; i < kBlockSize; ++i) {
      if (test(block.bytes[i])) mask |= Mask{1} << i;
    }
    return mask;
  }

  static Mask Equal(const Block& block, char byte) {
    return Select(block, [=](unsigned char b) { return b == static_cast<unsigned char>(byte); });
  }

  static Block Splat(char byte) {
    Block block;
    std::memset(block.bytes, byte, kBlockSize);
    return block;
  }

  static Mask Equal(const Block& block, const Block& other) {
    Mask mask = 0;
    for (std::size_t i = 0; i < kBlockSize; ++i) {
      if (block.bytes[i] == other.bytes[i]) mask |= Mask{1} << i;
    }
    return mask;
  }

  template <typename... Bytes>
  static Mask AnyOf(const Block& block, Bytes... bytes) {
    return Select(
        block, [=](unsigned char b) { return ((b == static_cast<unsigned char>(bytes)) || ...); });
  }

  static Mask EqualFolded(const Block& block, char small) {
    return Select(block,
                  [=](unsigned char b) { return (b | 0x20) == static_cast<unsigned char>(small); });
  }

  static Mask InRange(const Block& block, unsigned char low, unsigned char high) {
    return Select(block, [=](unsigned char b) { return b >= low && b <= high; });
  }

  static Mask InRangeFolded(const Block& block, unsigned char low, unsigned char high) {
    return Select(block, [=](unsigned char b) { return (b | 0x20) >= low && (b | 0x20) <= high; });
  }

  static Mask HighBits(const Block& block) {
    return Select(block, [](unsigned char b) { return b >= 0x80; });
  }

  static Block Merge(const Block& block, const Block& other) {
    Block merged;
    for (std::size_t i = 0; i < kBlockSize; ++i) {
      merged.bytes[i] = static_cast<char>(block.bytes[i] | other.bytes[i]);
    }
    return merged;
  }

  static int Count(Mask mask) { return CountBits(mask); }

  // Here the lanes are the mask itself.
  using Lanes = Mask;

  static Lanes EqualLanes(const Block& block, char byte) { return Equal(block, byte); }
  static Lanes EqualFoldedLanes(const Block& block, char small) {
    return EqualFolded(block, small);
  }
  static Lanes And(Lanes a, Lanes b) { return a & b; }
  static Lanes Or(Lanes a, Lanes b) { return a | b; }
  static Lanes AndNot(Lanes a, Lanes b) { return a & ~b; }
  static bool Any(Lanes lanes) { return lanes != 0; }
  static Mask ToMask(Lanes lanes) { return lanes; }
};

#if defined(PAGEFIELDS_SIMD_X86)

// Sixteen bytes at a time. The attribute lets the 32-bit build, whose baseline has no SSE2,
// compile this kernel too; it runs only where the processor has SSE2. (Lambdas would not
// take the attribute, so the operations are spelled out.)
#define PAGEFIELDS_SSE2 gnu::target("sse2")
// The loops over the four parts are unrolled, so that the parts stay in registers.
#define PAGEFIELDS_EACH_PART _Pragma("GCC unroll 4")

struct Sse2Kernel {
  static constexpr Isa kIsa = Isa::kSse2;

  struct Block {
    __m128i part[4];
  };

  [[PAGEFIELDS_SSE2]] static Block Load(const char* at) {
    Block block;
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) {
      block.part[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * i));
    }
    return block;
  }

  [[PAGEFIELDS_SSE2]] static Mask Equal(const Block& block, char byte) {
    const __m128i wanted = _mm_set1_epi8(byte);
    __m128i hits[4];
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) hits[i] = _mm_cmpeq_epi8(block.part[i], wanted);
    return ToMask(hits);
  }

  [[PAGEFIELDS_SSE2]] static Block Splat(char byte) {
    const __m128i bytes = _mm_set1_epi8(byte);
    return {{bytes, bytes, bytes, bytes}};
  }

  [[PAGEFIELDS_SSE2]] static Mask Equal(const Block& block, const Block& other) {
    __m128i hits[4];
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) hits[i] = _mm_cmpeq_epi8(block.part[i], other.part[i]);
    return ToMask(hits);
  }

  template <typename... Bytes>
  [[PAGEFIELDS_SSE2]] static Mask AnyOf(const Block& block, Bytes... bytes) {
    __m128i hits[4];
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) {
      hits[i] = _mm_setzero_si128();
      ((hits[i] = _mm_or_si128(
            hits[i], _mm_cmpeq_epi8(block.part[i], _mm_set1_epi8(static_cast<char>(bytes))))),
       ...);
    }
    return ToMask(hits);
  }

  [[PAGEFIELDS_SSE2]] static Mask EqualFolded(const Block& block, char small) {
    const __m128i wanted = _mm_set1_epi8(small);
    const __m128i case_bit = _mm_set1_epi8(0x20);
    __m128i hits[4];
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) {
      hits[i] = _mm_cmpeq_epi8(_mm_or_si128(block.part[i], case_bit), wanted);
    }
    return ToMask(hits);
  }

  [[PAGEFIELDS_SSE2]] static Mask InRange(const Block& block, unsigned char low,
                                          unsigned char high) {
    return InRangeOr(block, low, high, 0);
  }

  [[PAGEFIELDS_SSE2]] static Mask InRangeFolded(const Block& block, unsigned char low,
                                                unsigned char high) {
    return InRangeOr(block, low, high, 0x20);
  }

  // A byte's top bit is the one a mask extraction takes.
  [[PAGEFIELDS_SSE2]] static Mask HighBits(const Block& block) { return ToMask(block.part); }

  [[PAGEFIELDS_SSE2]] static Block Merge(const Block& block, const Block& other) {
    Block merged;
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) merged.part[i] = _mm_or_si128(block.part[i], other.part[i]);
    return merged;
  }

  static int Count(Mask mask) { return CountBits(mask); }

  struct Lanes {
    __m128i part[4];
  };

  [[PAGEFIELDS_SSE2]] static Lanes EqualLanes(const Block& block, char byte) {
    const __m128i wanted = _mm_set1_epi8(byte);
    Lanes lanes;
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) lanes.part[i] = _mm_cmpeq_epi8(block.part[i], wanted);
    return lanes;
  }

  [[PAGEFIELDS_SSE2]] static Lanes EqualFoldedLanes(const Block& block, char small) {
    const __m128i wanted = _mm_set1_epi8(small);
    const __m128i case_bit = _mm_set1_epi8(0x20);
    Lanes lanes;
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) {
      lanes.part[i] = _mm_cmpeq_epi8(_mm_or_si128(block.part[i], case_bit), wanted);
    }
    return lanes;
  }

  [[PAGEFIELDS_SSE2]] static Lanes And(const Lanes& a, const Lanes& b) {
    Lanes lanes;
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) lanes.part[i] = _mm_and_si128(a.part[i], b.part[i]);
    return lanes;
  }

  [[PAGEFIELDS_SSE2]] static Lanes Or(const Lanes& a, const Lanes& b) {
    Lanes lanes;
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) lanes.part[i] = _mm_or_si128(a.part[i], b.part[i]);
    return lanes;
  }

  [[PAGEFIELDS_SSE2]] static Lanes AndNot(const Lanes& a, const Lanes& b) {
    Lanes lanes;
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) lanes.part[i] = _mm_andnot_si128(b.part[i], a.part[i]);
    return lanes;
  }

  [[PAGEFIELDS_SSE2]] static bool Any(const Lanes& lanes) {
    const __m128i all = _mm_or_si128(_mm_or_si128(lanes.part[0], lanes.part[1]),
                                     _mm_or_si128(lanes.part[2], lanes.part[3]));
    return _mm_movemask_epi8(all) != 0;
  }

  [[PAGEFIELDS_SSE2]] static Mask ToMask(const Lanes& lanes) { return ToMask(lanes.part); }

 private:
  // The bytes that, with the bits of `set` set, lie in [low, high]. byte - low, taken as
  // unsigned, is at most high - low exactly for the bytes in range.
  [[PAGEFIELDS_SSE2]] static Mask InRangeOr(const Block& block, unsigned char low,
                                            unsigned char high, char set) {
    const __m128i bits = _mm_set1_epi8(set);
    const __m128i from = _mm_set1_epi8(static_cast<char>(low));
    const __m128i span = _mm_set1_epi8(static_cast<char>(high - low));
    __m128i hits[4];
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) {
      const __m128i offset = _mm_sub_epi8(_mm_or_si128(block.part[i], bits), from);
      hits[i] = _mm_cmpeq_epi8(_mm_min_epu8(offset, span), offset);
    }
    return ToMask(hits);
  }

  [[PAGEFIELDS_SSE2]] static Mask ToMask(const __m128i (&hits)[4]) {
    Mask mask = 0;
    PAGEFIELDS_EACH_PART
    for (int i = 0; i < 4; ++i) {
      mask |= Mask{static_cast<unsigned>(_mm_movemask_epi8(hits[i]))} << (16 * i);
    }
    return mask;
  }
};

#undef PAGEFIELDS_EACH_PART
#undef PAGEFIELDS_SSE2

// Thirty-two bytes at a time, with POPCNT and BMI for the bit work; runs only where the
// processor has all three.
#define PAGEFIELDS_AVX2 gnu::target("avx2,popcnt,bmi")

struct Avx2Kernel {
  static constexpr Isa kIsa = Isa::kAvx2;

  struct Block {
    __m256i low;
    __m256i high;
  };

  [[PAGEFIELDS_AVX2]] static Block Load(const char* at) {
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32))};
  }

  [[PAGEFIELDS_AVX2]] static Mask Equal(const Block& block, char byte) {
    const __m256i wanted = _mm256_set1_epi8(byte);
    return ToMask(_mm256_cmpeq_epi8(block.low, wanted), _mm256_cmpeq_epi8(block.high, wanted));
  }

  [[PAGEFIELDS_AVX2]] static Block Splat(char byte) {
    const __m256i bytes = _mm256_set1_epi8(byte);
    return {bytes, bytes};
  }

  [[PAGEFIELDS_AVX2]] static Mask Equal(const Block& block, const Block& other) {
    return ToMask(_mm256_cmpeq_epi8(block.low, other.low),
                  _mm256_cmpeq_epi8(block.high, other.high));
  }

  template <typename... Bytes>
  [[PAGEFIELDS_AVX2]] static Mask AnyOf(const Block& block, Bytes... bytes) {
    __m256i low = _mm256_setzero_si256();
    __m256i high = _mm256_setzero_si256();
    ((low = _mm256_or_si256(
          low, _mm256_cmpeq_epi8(block.low, _mm256_set1_epi8(static_cast<char>(bytes))))),
     ...);
    ((high = _mm256_or_si256(
          high, _mm256_cmpeq_epi8(block.high, _mm256_set1_epi8(static_cast<char>(bytes))))),
     ...);
    return ToMask(low, high);
  }

  [[PAGEFIELDS_AVX2]] static Mask EqualFolded(const Block& block, char small) {
    const __m256i wanted = _mm256_set1_epi8(small);
    const __m256i case_bit = _mm256_set1_epi8(0x20);
    return ToMask(_mm256_cmpeq_epi8(_mm256_or_si256(block.low, case_bit), wanted),
                  _mm256_cmpeq_epi8(_mm256_or_si256(block.high, case_bit), wanted));
  }

  [[PAGEFIELDS_AVX2]] static Mask InRange(const Block& block, unsigned char low,
                                          unsigned char high) {
    return InRangeOr(block, low, high, 0);
  }

  [[PAGEFIELDS_AVX2]] static Mask InRangeFolded(const Block& block, unsigned char low,
                                                unsigned char high) {
    return InRangeOr(block, low, high, 0x20);
  }

  // A byte's top bit is the one a mask extraction takes.
  [[PAGEFIELDS_AVX2]] static Mask HighBits(const Block& block) {
    return ToMask(block.low, block.high);
  }

  [[PAGEFIELDS_AVX2]] static Block Merge(const Block& block, const Block& other) {
    return {_mm256_or_si256(block.low, other.low), _mm256_or_si256(block.high, other.high)};
  }

  [[gnu::target("popcnt")]] static int Count(Mask mask) { return __builtin_popcountll(mask); }

  struct Lanes {
    __m256i low;
    __m256i high;
  };

  [[PAGEFIELDS_AVX2]] static Lanes EqualLanes(const Block& block, char byte) {
    const __m256i wanted = _mm256_set1_epi8(byte);
    return {_mm256_cmpeq_epi8(block.low, wanted), _mm256_cmpeq_epi8(block.high, wanted)};
  }

  [[PAGEFIELDS_AVX2]] static Lanes EqualFoldedLanes(const Block& block, char small) {
    const __m256i wanted = _mm256_set1_epi8(small);
    const __m256i case_bit = _mm256_set1_epi8(0x20);
    return {_mm256_cmpeq_epi8(_mm256_or_si256(block.low, case_bit), wanted),
            _mm256_cmpeq_epi8(_mm256_or_si256(block.high, case_bit), wanted)};
  }

  [[PAGEFIELDS_AVX2]] static Lanes And(const Lanes& a, const Lanes& b) {
    return {_mm256_and_si256(a.low, b.low), _mm256_and_si256(a.high, b.high)};
  }

  [[PAGEFIELDS_AVX2]] static Lanes Or(const Lanes& a, const Lanes& b) {
    return {_mm256_or_si256(a.low, b.low), _mm256_or_si256(a.high, b.high)};
  }

  [[PAGEFIELDS_AVX2]] static Lanes AndNot(const Lanes& a, const Lanes& b) {
    return {_mm256_andnot_si256(b.low, a.low), _mm256_andnot_si256(b.high, a.high)};
  }

  [[PAGEFIELDS_AVX2]] static bool Any(const Lanes& lanes) {
    const __m256i all = _mm256_or_si256(lanes.low, lanes.high);
    return _mm256_testz_si256(all, all) == 0;
  }

  [[PAGEFIELDS_AVX2]] static Mask ToMask(const Lanes& lanes) {
    return ToMask(lanes.low, lanes.high);
  }

 private:
  // As Sse2Kernel::InRangeOr.
  [[PAGEFIELDS_AVX2]] static Mask InRangeOr(const Block& block, unsigned char low,
                                            unsigned char high, char set) {
    const __m256i bits = _mm256_set1_epi8(set);
    const __m256i from = _mm256_set1_epi8(static_cast<char>(low));
    const __m256i span = _mm256_set1_epi8(static_cast<char>(high - low));
    const __m256i low_offset = _mm256_sub_epi8(_mm256_or_si256(block.low, bits), from);
    const __m256i high_offset = _mm256_sub_epi8(_mm256_or_si256(block.high, bits), from);
    return ToMask(_mm256_cmpeq_epi8(_mm256_min_epu8(low_offset, span), low_offset),
                  _mm256_cmpeq_epi8(_mm256_min_epu8(high_offset, span), high_offset));
  }

  [[PAGEFIELDS_AVX2]] static Mask ToMask(__m256i low, __m256i high) {
    return Mask{static_cast<std::uint32_t>(_mm256_movemask_epi8(low))} |
           Mask{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
  }
};

#undef PAGEFIELDS_AVX2

#endif  // PAGEFIELDS_SIMD_X86

}  // namespace pagefields::simd
