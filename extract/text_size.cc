#include "extract/text_size.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "extract/block_masks.h"
#include "text/case_map.h"
#include "text/edit.h"

// The size is counted in one pass over 64-byte blocks, without building the text:
//
// - Tag spans. A "<" always leaves the reading inside a span (it opens one or is part of
//   one) and a ">" always leaves it outside (it closes one or stands alone), so a byte is
//   inside exactly when the nearest "<" or ">" at or before it is a "<". Over a block that
//   is one addition: with S the "<" bits and P every bit but the ">" ones, a carry starts
//   at each S and runs through P, so the inside bits are (P & ~(P + S + carry in)) | S.
// - "<p>" and "<br>" are CR LF before the strip, so they are neither "<" nor ">" and count
//   two bytes when they stand outside a span. Neither can overlap itself or the other, and
//   CR LF makes neither, so every occurrence counts.
// - The CR LF pairs of the document are removed first; here they count nothing and close
//   nothing. A break tag that only forms once a pair is gone ("<b\r\nr>") would be missed,
//   so when one occurs the pass starts again on a copy without the pairs.
// - A span that never closes keeps its bytes: `tail_` holds what the open span would count.
namespace pagefields {
namespace {

// Length of the "<p>" or "<br>" (any case) that starts at `at`, or 0.
std::size_t BreakTagLength(std::string_view text, std::size_t at) {
  const auto folded = [&](std::size_t i) { return i < text.size() ? FoldCase(text[i]) : 0; };
  if (folded(at) != '<') return 0;
  if (folded(at + 1) == 'P' && folded(at + 2) == '>') return 3;
  if (folded(at + 1) == 'B' && folded(at + 2) == 'R' && folded(at + 3) == '>') return 4;
  return 0;
}

bool IsPairByte(std::string_view text, std::size_t at) {
  return (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ||
         (text[at] == '\n' && at > 0 && text[at - 1] == '\r');
}

// True when removing the CR LF pairs from `text` joins a break tag across the run of pairs
// that starts at `run`: up to three kept bytes on each side are read as the text will be.
// Rare, so kept out of line: the block loop is compiled without its string work.
[[gnu::noinline]] bool JoinsBreakTag(std::string_view text, std::size_t run) {
  std::string window;
  std::size_t before = 0;
  for (std::size_t at = run; at > 0 && before < 3;) {
    --at;
    if (IsPairByte(text, at)) continue;
    window.insert(window.begin(), text[at]);
    ++before;
  }
  for (std::size_t at = run; at < text.size() && window.size() < before + 3; ++at) {
    if (!IsPairByte(text, at)) window += text[at];
  }
  for (std::size_t start = 0; start < before; ++start) {
    const std::size_t length = BreakTagLength(window, start);
    if (length != 0 && start + length > before) return true;
  }
  return false;
}

std::uint64_t LowBits(std::size_t count) {
  return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

// `bits` moved down by `shift` places (1 to 3), with the low bits of the next block's mask
// moving into the top.
std::uint64_t Down(std::uint64_t bits, std::uint64_t next, int shift) {
  return (bits >> shift) | (next << (64 - shift));
}

std::size_t FirstBit(std::uint64_t bits) {
  return static_cast<std::size_t>(std::countr_zero(bits));
}

template <typename Blocks>
class SizeCounter {
 public:
  SizeCounter(std::string_view text, bool remove_pairs)
      : text_(text), remove_pairs_(remove_pairs) {}

  // False when a break tag forms across removed pairs; the count is then not valid. Each
  // block is read once: its masks are read one block ahead, as the next block's first bytes
  // finish the break tags and pairs that start near the end of the current one.
  bool Run() {
    BlockMasks next = ReadAt(0);
    for (std::size_t offset = 0; offset < text_.size(); offset += kBlockSize) {
      const BlockMasks current = next;
      next = ReadAt(offset + kBlockSize);
      if (!CountBlock(offset, current, next)) return false;
    }
    return true;
  }

  std::uint64_t Size() const { return counted_ + (inside_ ? tail_ : 0); }

 private:
  // What a set of bits counts: one per kept byte, two per break tag.
  struct Weights {
    std::uint64_t kept;    // bytes that stay in the text
    std::uint64_t breaks;  // first bytes of break tags
    std::uint64_t Of(std::uint64_t bits) const {
      const auto kept_bits = static_cast<std::uint64_t>(Blocks::CountBits(bits & kept));
      return breaks == 0
                 ? kept_bits
                 : kept_bits + 2 * static_cast<std::uint64_t>(Blocks::CountBits(bits & breaks));
    }
  };

  // The masks of the block at `offset`; none past the text, and a short last block is read
  // from a zero-padded copy (a NUL is none of the bytes looked for).
  BlockMasks ReadAt(std::size_t offset) const {
    if (offset >= text_.size()) return {};
    if (text_.size() - offset >= kBlockSize) return Blocks::Read(text_.data() + offset);
    char padded[kBlockSize] = {};
    std::memcpy(padded, text_.data() + offset, text_.size() - offset);
    return Blocks::Read(padded);
  }

  // The CR LF pair bytes of the block, or false when removing them joins a break tag.
  bool FindPairs(const BlockMasks& block, const BlockMasks& next, std::size_t offset,
                 std::uint64_t& removed) {
    const std::uint64_t tag_bytes = block.opens | block.p | block.b | block.r;
    const bool after_tag_byte = previous_tag_byte_;
    previous_tag_byte_ = (tag_bytes >> 63) != 0;
    if (block.crs == 0 && lf_carry_ == 0) {
      run_carry_ = 0;
      removed = 0;
      return true;
    }
    const std::uint64_t pair_cr = block.crs & Down(block.lfs, next.lfs, 1);
    const std::uint64_t pair_lf = (pair_cr << 1) | lf_carry_;
    lf_carry_ = pair_cr >> 63;
    removed = pair_cr | pair_lf;
    // A run of pairs can join a break tag only right behind one of a break tag's first bytes.
    const std::uint64_t run_starts = pair_cr & ~((pair_lf << 1) | run_carry_);
    run_carry_ = pair_lf >> 63;
    std::uint64_t suspects = run_starts & ((tag_bytes << 1) | (after_tag_byte ? 1 : 0));
    for (; suspects != 0; suspects &= suspects - 1) {
      if (JoinsBreakTag(text_, offset + FirstBit(suspects))) return false;
    }
    return true;
  }

  bool CountBlock(std::size_t offset, const BlockMasks& block, const BlockMasks& next) {
    const std::uint64_t valid = LowBits(text_.size() - offset);
    // Plain text, neither a tag byte nor a pair byte nor the rest of a break tag: it counts
    // whole, to the open span if there is one, and changes no state but the tag-byte carry.
    if ((block.opens | block.closes | block.crs | lf_carry_ | break_spill_) == 0) {
      previous_tag_byte_ = ((block.p | block.b | block.r) >> 63) != 0;
      run_carry_ = 0;
      (inside_ ? tail_ : counted_) += static_cast<std::uint64_t>(Blocks::CountBits(valid));
      return true;
    }
    std::uint64_t removed = 0;
    if (remove_pairs_ && !FindPairs(block, next, offset, removed)) return false;

    // Break tags: "<", p, ">" or "<", b, r, ">" at consecutive bits.
    const std::uint64_t paragraphs =
        block.opens & Down(block.p, next.p, 1) & Down(block.closes, next.closes, 2);
    const std::uint64_t line_breaks = block.opens & Down(block.b, next.b, 1) &
                                      Down(block.r, next.r, 2) & Down(block.closes, next.closes, 3);
    const std::uint64_t breaks = paragraphs | line_breaks;
    const std::uint64_t break_bytes =
        break_spill_ | breaks | (breaks << 1) | (breaks << 2) | (line_breaks << 3);
    break_spill_ = (breaks >> 63) | (breaks >> 62) | (line_breaks >> 61);

    // The inside bits, by the addition described above; its carry out is the state after.
    const std::uint64_t starts = block.opens & ~breaks;
    const std::uint64_t ends = block.closes & ~break_bytes;
    const std::uint64_t propagate = ~ends;
    const std::uint64_t partial = propagate + starts;
    const std::uint64_t sum = partial + (inside_ ? 1 : 0);
    const bool inside_at_end = partial < propagate || sum < partial;
    const std::uint64_t inside_after = (propagate & ~sum) | starts;
    const std::uint64_t in_span = (inside_after << 1) | (inside_ ? 1 : 0) | starts;

    const Weights weights{valid & ~removed & ~break_bytes, breaks};
    counted_ += weights.Of(~in_span);
    // The open span, if any, begins at the first "<" behind the block's last ">".
    if (ends != 0) {
      const auto last_end = static_cast<std::size_t>(63 - std::countl_zero(ends));
      const std::uint64_t later_starts = starts & ~LowBits(last_end + 1);
      tail_ = later_starts == 0 ? 0 : weights.Of(~LowBits(FirstBit(later_starts)));
    } else if (inside_) {
      tail_ += weights.Of(~std::uint64_t{0});
    } else if (starts != 0) {
      tail_ = weights.Of(~LowBits(FirstBit(starts)));
    }
    inside_ = inside_at_end;
    return true;
  }

  std::string_view text_;
  bool remove_pairs_;
  bool inside_ = false;             // inside a span after the blocks counted so far
  std::uint64_t counted_ = 0;       // what the bytes outside spans count
  std::uint64_t tail_ = 0;          // what the open span counts if it never closes
  std::uint64_t break_spill_ = 0;   // bytes of a break tag that reach into the next block
  std::uint64_t lf_carry_ = 0;      // the next block starts with the LF of a pair
  std::uint64_t run_carry_ = 0;     // the block ended with the LF of a pair
  bool previous_tag_byte_ = false;  // the block before ended with a break tag's first byte
};

template <typename Blocks>
std::int32_t Measure(std::string_view document) {
  SizeCounter<Blocks> in_place(document, true);
  if (in_place.Run()) return static_cast<std::int32_t>(in_place.Size());
  std::string copy(document);
  ReplaceInPlace(copy, "\r\n", "", false);
  SizeCounter<Blocks> on_copy(copy, false);
  on_copy.Run();
  return static_cast<std::int32_t>(on_copy.Size());
}

#if defined(PAGEFIELDS_HAS_AVX2_PATH)
// Flattened, so that the whole count is compiled for these instructions.
[[gnu::target("avx2,popcnt"), gnu::flatten]] std::int32_t MeasureWithAvx2(
    std::string_view document) {
  return Measure<Avx2Blocks>(document);
}
#endif

}  // namespace

std::int32_t MeasureTextSize(std::string_view document, BlockInstructions instructions) {
#if defined(PAGEFIELDS_HAS_AVX2_PATH)
  if (instructions == BlockInstructions::kWidest && HasAvx2AndPopcnt()) {
    return MeasureWithAvx2(document);
  }
#endif
  return Measure<PortableBlocks>(document);
}

}  // namespace pagefields
