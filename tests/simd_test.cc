// The block kernels against the scalar one, and the block walks against a byte-by-byte
// reading, on small-alphabet texts at every alignment and across every block end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "simd/block_scan.h"
#include "simd/dispatch.h"
#include "tests/each_isa.h"

namespace pagefields {
namespace {

using simd::Isa;
using simd::Mask;

// Bytes that make near misses common: markers, their case partners, and the edges of every
// range the kernels test.
constexpr char kAlphabet[] = {'<',    '>',    'a',    'A',    'x',    'X',    '\r',   '\n',
                              ' ',    '/',    '0',    '9',    '@',    '[',    '`',    '{',
                              '\x7F', '\x80', '\xA8', '\xB8', '\xBF', '\xC0', '\xFF', '\0'};

std::string RandomText(std::mt19937& random, std::size_t size) {
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 1);
  std::string text(size, ' ');
  for (char& c : text) c = kAlphabet[pick(random)];
  return text;
}

// Every kernel operation on the block at `at` (and the one a byte behind it), in one list, so
// that one comparison covers them all.
std::vector<Mask> AllOperations(const char* at) {
  return simd::Dispatch([&](auto kernel) {
    using K = decltype(kernel);
    const typename K::Block block = K::Load(at);
    const typename K::Block ahead = K::Load(at + 1);
    const typename K::Lanes opens = K::EqualLanes(block, '<');
    const typename K::Lanes letters = K::EqualFoldedLanes(block, 'a');
    return std::vector<Mask>{
        K::ToMask(opens),
        K::ToMask(letters),
        K::ToMask(K::And(K::EqualFoldedLanes(block, 'x'), K::EqualLanes(ahead, '>'))),
        K::ToMask(K::Or(opens, K::EqualLanes(ahead, '\xFF'))),
        K::ToMask(K::AndNot(letters, K::EqualLanes(block, 'A'))),
        K::ToMask(K::AndNot(K::Or(opens, letters), K::EqualLanes(ahead, '>'))),
        Mask{K::Any(K::And(opens, K::EqualLanes(ahead, '<')))},
        Mask{K::Any(K::EqualLanes(block, 'q'))},  // not in the alphabet
        K::Equal(block, '<'),
        K::Equal(block, '\xFF'),
        K::Equal(block, '\0'),
        K::AnyOf(block, '\r', '\n', ' '),
        K::AnyOf(block, '\xA8', '\xB8'),
        K::EqualFolded(block, 'a'),
        K::EqualFolded(block, 'x'),
        K::InRange(block, '0', '9'),
        K::InRange(block, 0xC0, 0xFF),
        K::InRange(block, 0, 0x20),
        K::InRangeFolded(block, 'a', 'z'),
        static_cast<Mask>(K::Count(K::Equal(block, 'a'))),
        K::HighBits(block),
        K::Equal(block, K::Splat('a')),
        K::Equal(ahead, K::Splat('\xFF')),
        K::Equal(block, ahead),
        K::HighBits(K::Merge(block, ahead)),
        K::Equal(K::Merge(block, K::Splat(' ')), 'a'),
    };
  });
}

TEST(SimdKernels, EveryOperationAgreesWithTheScalarKernel) {
  std::mt19937 random(7);
  const std::string text = RandomText(random, 4096);
  for (std::size_t at = 0; at + simd::kBlockSize < text.size(); at += 13) {
    std::vector<Mask> expected;
    {
      const simd::ScopedIsa scalar(Isa::kScalar);
      expected = AllOperations(text.data() + at);
    }
    for (const Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      ASSERT_EQ(AllOperations(text.data() + at), expected) << simd::IsaName(isa) << " at " << at;
    }
  }
}

TEST(SimdKernels, ScalarKernelReadsEachByteByTheRule) {
  std::string block(simd::kBlockSize + 1, 'z');
  block[0] = 'A';
  block[5] = 'a';
  block[63] = '\xC0';
  const simd::ScopedIsa scalar(Isa::kScalar);
  constexpr std::size_t kPlain = 8;  // where the operations without lanes start
  EXPECT_EQ(AllOperations(block.data())[kPlain + 5], Mask{1} | Mask{1} << 5);     // 'a', 'A'
  EXPECT_EQ(AllOperations(block.data())[kPlain + 8], Mask{1} << 63);              // 0xC0..0xFF
  EXPECT_EQ(AllOperations(block.data())[kPlain + 10], ~Mask{0} ^ Mask{1} << 63);  // letters
  EXPECT_EQ(AllOperations(block.data())[kPlain + 12], Mask{1} << 63);             // high bits
  EXPECT_EQ(AllOperations(block.data())[kPlain + 13], Mask{1} << 5);              // 'a' only
  EXPECT_EQ(AllOperations(block.data())[kPlain + 16], Mask{3} << 62);  // 0xC0 in either block
  EXPECT_EQ(AllOperations(block.data())[kPlain + 17], Mask{1} | Mask{1} << 5);  // bit 5 set
  EXPECT_EQ(AllOperations(block.data())[1], Mask{1} | Mask{1} << 5);
  EXPECT_EQ(AllOperations(block.data())[4], Mask{1} << 5);  // 'a' but not 'A'
}

// Any and ToMask on a block with one lane set, at every lane (each vector part and each
// half of it), and on one with none.
TEST(SimdKernels, AnyAndToMaskSeeEveryLane) {
  for (const Isa isa : RunnableIsas()) {
    const simd::ScopedIsa held(isa);
    for (std::size_t lane = 0; lane <= simd::kBlockSize; ++lane) {
      std::string block(simd::kBlockSize, 'z');
      if (lane < simd::kBlockSize) block[lane] = '<';
      const auto [any, mask] = simd::Dispatch([&](auto kernel) {
        using K = decltype(kernel);
        const typename K::Lanes opens = K::EqualLanes(K::Load(block.data()), '<');
        return std::pair{K::Any(opens), K::ToMask(opens)};
      });
      EXPECT_EQ(any, lane < simd::kBlockSize) << simd::IsaName(isa) << " lane " << lane;
      EXPECT_EQ(mask, lane < simd::kBlockSize ? Mask{1} << lane : 0)
          << simd::IsaName(isa) << " lane " << lane;
    }
  }
}

// Byte-by-byte readings of the walks, for "x" followed by ">" (one byte read ahead).
bool IsPlace(const std::string& text, std::size_t at) {
  return (text[at] | 0x20) == 'x' && at + 1 < text.size() && text[at + 1] == '>';
}

template <typename K>
struct Places {
  Mask operator()(const char* at) const {
    return K::EqualFolded(K::Load(at), 'x') & K::Equal(K::Load(at + 1), '>');
  }
};

TEST(SimdBlockScan, WalksAgreeWithAByteByByteReadingOnEveryKernel) {
  std::mt19937 random(11);
  for (std::size_t size = 0; size <= 200; ++size) {
    const std::string text = RandomText(random, size);
    std::vector<std::size_t> expected;
    for (std::size_t at = 0; at < size; ++at) {
      if (IsPlace(text, at)) expected.push_back(at);
    }
    for (const Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      const auto [every, firsts, forward] = simd::Dispatch([&](auto kernel) {
        using K = decltype(kernel);
        std::vector<std::size_t> every_place;
        simd::ForEachSelected<1>(text, 0, size, Places<K>{}, [&](std::size_t at) {
          every_place.push_back(at);
          return true;
        });
        // The first place from each start, and the same asked of one forward walk.
        std::vector<std::size_t> first_from;
        std::vector<std::size_t> forward_from;
        simd::ForwardMatches<1, Places<K>> walk(text, Places<K>{});
        for (std::size_t from = 0; from <= size; ++from) {
          first_from.push_back(simd::FindFirst<1>(text, from, size, Places<K>{}));
          forward_from.push_back(walk.From(from));
        }
        return std::tuple{every_place, first_from, forward_from};
      });
      ASSERT_EQ(every, expected) << simd::IsaName(isa) << ", size " << size;
      // Ranges that start and end anywhere, inside the text or at its end.
      for (std::size_t from = 0; from <= size; from += 5) {
        for (const std::size_t to : {from, std::min(size, from + 1), std::min(size, from + 64),
                                     std::min(size, from + 66), std::min(size, from + 130), size}) {
          std::vector<std::size_t> in_range;
          for (const std::size_t at : expected) {
            if (at >= from && at < to) in_range.push_back(at);
          }
          std::vector<std::size_t> visited;
          const std::size_t counted = simd::Dispatch([&](auto kernel) {
            using K = decltype(kernel);
            simd::ForEachSelected<1>(text, from, to, Places<K>{}, [&](std::size_t at) {
              visited.push_back(at);
              return true;
            });
            return simd::CountSelected<1>(text, from, to, Places<K>{});
          });
          ASSERT_EQ(visited, in_range)
              << simd::IsaName(isa) << ", size " << size << ", [" << from << ", " << to << ")";
          ASSERT_EQ(counted, in_range.size())
              << simd::IsaName(isa) << ", size " << size << ", [" << from << ", " << to << ")";
        }
      }
      for (std::size_t from = 0; from <= size; ++from) {
        std::size_t first = size;
        for (const std::size_t at : expected) {
          if (at >= from) {
            first = at;
            break;
          }
        }
        ASSERT_EQ(firsts[from], first)
            << simd::IsaName(isa) << ", size " << size << ", from " << from;
        ASSERT_EQ(forward[from], first)
            << simd::IsaName(isa) << ", size " << size << ", from " << from;
      }
    }
  }
}

// A forward walk asked for short ranges at rising starts, each of which may end before, at or
// past a block end, and may hold no place while the text behind it does.
TEST(SimdBlockScan, ForwardWalkOverShortRangesAgreesWithAByteByByteReadingOnEveryKernel) {
  std::mt19937 random(17);
  for (std::size_t size = 0; size <= 200; ++size) {
    const std::string text = RandomText(random, size);
    for (const std::size_t span : {0, 1, 3, 63, 64, 65, 130}) {
      std::vector<std::size_t> expected;
      for (std::size_t from = 0; from <= size; ++from) {
        const std::size_t end = std::min(size, from + span);
        std::size_t first = from;
        while (first < end && !IsPlace(text, first)) ++first;
        expected.push_back(first);
      }
      for (const Isa isa : RunnableIsas()) {
        const simd::ScopedIsa held(isa);
        const std::vector<std::size_t> found = simd::Dispatch([&](auto kernel) {
          using K = decltype(kernel);
          simd::ForwardMatches<1, Places<K>> walk(text, Places<K>{});
          std::vector<std::size_t> firsts;
          for (std::size_t from = 0; from <= size; ++from) {
            firsts.push_back(walk.Within(from, std::min(size, from + span)));
          }
          return firsts;
        });
        ASSERT_EQ(found, expected) << simd::IsaName(isa) << ", size " << size << ", span " << span;
      }
    }
  }
}

// The last place in every range, searched backwards block by block, and the several masks a
// selector gives at once, against the byte-by-byte reading.
TEST(SimdBlockScan, FindLastAndSelectAtAgreeWithAByteByByteReadingOnEveryKernel) {
  std::mt19937 random(13);
  for (std::size_t size = 0; size <= 150; ++size) {
    const std::string text = RandomText(random, size);
    for (const Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      simd::Dispatch([&](auto kernel) {
        using K = decltype(kernel);
        for (std::size_t from = 0; from <= size; ++from) {
          std::size_t last = size;
          for (std::size_t to = from; to <= size; ++to) {
            if (to > from && IsPlace(text, to - 1)) last = to - 1;
            const std::size_t expected = last == size || last < from ? to : last;
            ASSERT_EQ(simd::FindLast<1>(text, from, to, Places<K>{}), expected)
                << simd::IsaName(isa) << ", size " << size << ", [" << from << ", " << to << ")";
          }
        }
        const auto both = [](const char* at) {
          const typename K::Block block = K::Load(at);
          return std::pair{K::Equal(block, '<'), K::Equal(K::Load(at + 1), '>')};
        };
        for (std::size_t at = 0; at < size; ++at) {
          const auto [lts, before_gts] = simd::SelectAt<1>(text, at, both);
          for (std::size_t i = 0; i < simd::kBlockSize; ++i) {
            // Behind the text the selector reads NUL bytes.
            const char here = at + i < size ? text[at + i] : '\0';
            const char next = at + i + 1 < size ? text[at + i + 1] : '\0';
            ASSERT_EQ((lts >> i & 1) != 0, here == '<') << simd::IsaName(isa) << " " << at + i;
            ASSERT_EQ((before_gts >> i & 1) != 0, next == '>')
                << simd::IsaName(isa) << " " << at + i;
          }
        }
      });
    }
  }
}

TEST(SimdKernels, FirstAndLastBit) {
  const std::tuple<Mask, std::size_t, std::size_t> cases[] = {
      {1, 0, 0},
      {Mask{1} << 63, 63, 63},
      {0x8000000000000001u, 0, 63},
      {0x0000000000F00000u, 20, 23},
      {~Mask{0}, 0, 63},
  };
  for (const auto& [mask, first, last] : cases) {
    EXPECT_EQ(simd::FirstBit(mask), first) << mask;
    EXPECT_EQ(simd::LastBit(mask), last) << mask;
  }
}

TEST(SimdKernels, CountBitsCountsEverySetBit) {
  const std::pair<Mask, int> cases[] = {
      {0, 0},
      {1, 1},
      {Mask{1} << 63, 1},
      {~Mask{0}, 64},
      {0x5555555555555555u, 32},
      {0xF0F0F0F0F0F0F0F0u, 32},
      {0x8000000000000001u, 2},
      {0x00FF00FF00FF00FFu, 32},
      {~Mask{0} >> 1, 63},
  };
  for (const auto& [mask, bits] : cases) EXPECT_EQ(simd::CountBits(mask), bits) << mask;
}

TEST(SimdBlockScan, StopsWhereTheVisitSays) {
  const std::string text(300, '<');
  std::vector<std::size_t> seen;
  const bool finished = simd::Dispatch([&](auto kernel) {
    using K = decltype(kernel);
    return simd::ForEachSelected(
        text, 10, 300, [](const char* at) { return K::Equal(K::Load(at), '<'); },
        [&](std::size_t at) {
          seen.push_back(at);
          return at < 100;
        });
  });
  EXPECT_FALSE(finished);
  ASSERT_EQ(seen.size(), 91u);
  EXPECT_EQ(seen.front(), 10u);
  EXPECT_EQ(seen.back(), 100u);
}

TEST(SimdIsa, ScopedIsaHoldsOnlyItsOwnThreadAndEnds) {
  const Isa before = simd::ActiveIsa();
  {
    const simd::ScopedIsa scalar(Isa::kScalar);
    EXPECT_EQ(simd::ActiveIsa(), Isa::kScalar);
    Isa other_thread = Isa::kScalar;
    std::thread([&] { other_thread = simd::ActiveIsa(); }).join();
    EXPECT_EQ(other_thread, before);
  }
  EXPECT_EQ(simd::ActiveIsa(), before);
  EXPECT_TRUE(simd::Runs(Isa::kScalar));
}

}  // namespace
}  // namespace pagefields
