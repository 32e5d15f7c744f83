#pragma once

// The block loop every scan is built on: masks of 64-byte blocks, read in place where the text
// holds the whole block and from a zero-padded copy at its end, and the walks over their bits.
//
// A selector is a callable `Mask(const char* at)` that loads the block at `at` with a kernel
// and combines the kernel's masks, e.g. `K::AnyOf(K::Load(at), '\r', '<')`. One that also
// reads bytes behind the block (a pair of bytes, "x>") names how many as kReadAhead.
// A selector is a function object (a struct with operator() or a lambda), never a function's
// name: a call through a function pointer is not inlined into the kernel's run (see
// dispatch.h), and the selector would then be compiled for the baseline and call every kernel
// operation out of line. The walks below refuse anything else.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "simd/kernels.h"

namespace pagefields::simd {

template <typename T>
concept FunctionObject = std::is_class_v<T>;

// The selector of the bytes equal to kByte, the one most scans need.
template <typename K, char kByte>
struct ByteIs {
  static constexpr std::size_t kReadAhead = 0;
  Mask operator()(const char* at) const { return K::Equal(K::Load(at), kByte); }
};

// The blocks that start before this lie whole before `end`, with the bytes read ahead.
template <std::size_t kReadAhead>
constexpr std::size_t WholeBlocksEnd(std::size_t end) {
  return end >= kBlockSize + kReadAhead ? end - kBlockSize - kReadAhead + 1 : 0;
}

// What the selector makes of the block at `at` of `text` (at < text.size()), read in place
// where the text holds the block and the bytes read ahead, else from a zero-padded copy:
// behind the text the selector sees NUL bytes. For selectors that give several masks at once
// (a struct of them); the bits past the end are theirs to clear (LowBits(text.size() - at)).
template <std::size_t kReadAhead = 0, FunctionObject Selector>
auto SelectAt(std::string_view text, std::size_t at, const Selector& select) {
  const std::size_t left = text.size() - at;
  if (left >= kBlockSize + kReadAhead) return select(text.data() + at);
  char padded[kBlockSize + kReadAhead] = {};
  std::memcpy(padded, text.data() + at, std::min(left, sizeof padded));
  return select(static_cast<const char*>(padded));
}

// The selector's mask of the block at `at` of `text` (at < text.size()), with the bits past
// the end of the text clear. Behind the text the selector sees NUL bytes.
template <std::size_t kReadAhead = 0, FunctionObject Selector>
Mask MaskAt(std::string_view text, std::size_t at, const Selector& select) {
  const std::size_t left = text.size() - at;
  if (left >= kBlockSize + kReadAhead) return select(text.data() + at);
  return SelectAt<kReadAhead>(text, at, select) & LowBits(left);
}

// The first position in [from, to) whose bit the selector sets, or `to` when none does
// (to <= text.size()). Whole blocks are read while the text holds them, also past `to`, so a
// short range inside a long text goes by blocks too.
template <std::size_t kReadAhead = 0, FunctionObject Selector>
std::size_t FindFirst(std::string_view text, std::size_t from, std::size_t to,
                      const Selector& select) {
  for (std::size_t at = from; at < to; at += kBlockSize) {
    const Mask found = MaskAt<kReadAhead>(text, at, select) & LowBits(to - at);
    if (found != 0) return at + FirstBit(found);
  }
  return to;
}

// The last position in [from, to) whose bit the selector sets, or `to` when none does
// (to <= text.size()). The blocks are read from `to` backwards.
template <std::size_t kReadAhead = 0, FunctionObject Selector>
std::size_t FindLast(std::string_view text, std::size_t from, std::size_t to,
                     const Selector& select) {
  for (std::size_t end = to; end > from;) {
    const std::size_t at = end - std::min(end - from, kBlockSize);
    const Mask found = MaskAt<kReadAhead>(text, at, select) & LowBits(end - at);
    if (found != 0) return at + LastBit(found);
    end = at;
  }
  return to;
}

// How many positions in [from, to) the selector sets (to <= text.size()).
template <std::size_t kReadAhead = 0, FunctionObject Selector>
std::size_t CountSelected(std::string_view text, std::size_t from, std::size_t to,
                          const Selector& select) {
  std::size_t count = 0;
  for (std::size_t at = from; at < to; at += kBlockSize) {
    const Mask found = MaskAt<kReadAhead>(text, at, select) & LowBits(to - at);
    count += static_cast<std::size_t>(CountBits(found));
  }
  return count;
}

// Calls visit(position) for every position in [from, to) whose bit the selector sets, in
// rising order, until visit returns false. Returns false when it was stopped.
template <std::size_t kReadAhead = 0, FunctionObject Selector, typename Visit>
bool ForEachSelected(std::string_view text, std::size_t from, std::size_t to,
                     const Selector& select, Visit&& visit) {
  std::size_t at = from;
  // The blocks that lie in the range (which lies in the text) are read in place.
  for (const std::size_t whole_end = WholeBlocksEnd<kReadAhead>(to); at < whole_end;
       at += kBlockSize) {
    for (Mask found = select(text.data() + at); found != 0; found &= found - 1) {
      if (!visit(at + FirstBit(found))) return false;
    }
  }
  for (; at < to; at += kBlockSize) {
    for (Mask found = MaskAt<kReadAhead>(text, at, select) & LowBits(to - at); found != 0;
         found &= found - 1) {
      if (!visit(at + FirstBit(found))) return false;
    }
  }
  return true;
}

// The selected positions of a text, asked for from positions that never decrease, as a
// left-to-right walk asks. The mask of the block the last answer came from is kept, so a
// question close behind it costs a few bit operations instead of another read, and the walk
// as a whole reads the text about once.
template <std::size_t kReadAhead, FunctionObject Selector>
class ForwardMatches {
 public:
  ForwardMatches(std::string_view text, Selector select)
      : text_(text),
        select_(select),
        whole_end_(WholeBlocksEnd<kReadAhead>(text.size())),
        block_(0),
        covered_(0) {}

  // The first selected position at or after `at`, or text.size(); `at` is not below the
  // previous question's.
  std::size_t From(std::size_t at) {
    // Nothing is selected between the previous question and the kept block.
    at = std::max(at, block_);
    if (at < covered_) {
      // at - block_ < kBlockSize: the shift needs no check.
      const Mask later = bits_ & ~Mask{0} << (at - block_);
      if (later != 0) return block_ + FirstBit(later);
      at = covered_;
    }
    for (; at < whole_end_; at += kBlockSize) {
      const Mask found = select_(text_.data() + at);
      if (found != 0) return KeepWhole(at, found);
    }
    for (; at < text_.size(); at += kBlockSize) {
      const Mask found = MaskAt<kReadAhead>(text_, at, select_);
      if (found != 0) return Keep(at, found);
    }
    block_ = covered_ = text_.size();
    bits_ = 0;
    return text_.size();
  }

  // The first selected position in [begin, end), or `end`.
  std::size_t Within(std::size_t begin, std::size_t end) { return std::min(From(begin), end); }

 private:
  // Keeps the block at `at`, which the text holds whole, and its selected positions; returns
  // the first.
  std::size_t KeepWhole(std::size_t at, Mask found) {
    block_ = at;
    covered_ = at + kBlockSize;
    bits_ = found;
    return at + FirstBit(found);
  }

  // The same for a block at the text's end, which covers only the bytes the text has.
  std::size_t Keep(std::size_t at, Mask found) {
    const std::size_t first = KeepWhole(at, found);
    covered_ = std::min(covered_, text_.size());
    return first;
  }

  std::string_view text_;
  Selector select_;
  std::size_t whole_end_;  // the blocks before it are read in place, without a check each
  std::size_t block_;      // where the kept block starts
  std::size_t covered_;    // where it ends
  Mask bits_ = 0;          // its selected positions
};

}  // namespace pagefields::simd
