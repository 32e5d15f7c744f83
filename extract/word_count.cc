#include "extract/word_count.h"

#include <cstddef>

#include "simd/block_scan.h"
#include "simd/dispatch.h"

namespace pagefields {
namespace {

// The WordCharSet bytes of the block at `at`. Setting bit 5 makes every capital ASCII letter
// small and moves no other byte into a..z.
template <typename K>
struct WordBytes {
  simd::Mask operator()(const char* at) const {
    const typename K::Block block = K::Load(at);
    return K::InRange(block, '0', '9') | K::InRangeFolded(block, 'a', 'z') |
           K::InRange(block, 0xC0, 0xFF) | K::AnyOf(block, '\xA8', '\xB8');
  }
};

template <typename K>
int CountWordsWith(std::string_view text) {
  // A word starts at every member byte whose byte before is not a member.
  int count = 0;
  simd::Mask member_before = 0;  // the last byte of the block before, as bit 0
  for (std::size_t at = 0; at < text.size(); at += simd::kBlockSize) {
    const simd::Mask members = simd::MaskAt(text, at, WordBytes<K>{});
    count += K::Count(members & ~(members << 1 | member_before));
    member_before = members >> 63;
  }
  return count;
}

}  // namespace

int CountWords(std::string_view text) {
  return simd::Dispatch([&](auto kernel) { return CountWordsWith<decltype(kernel)>(text); });
}

}  // namespace pagefields
