#include "extract/text_size.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "simd/block_scan.h"
#include "simd/dispatch.h"
#include "text/case_map.h"

// The size is counted in one pass over 64-byte blocks, without building the text:
//
// - Tag spans. A "<" always leaves the reading inside a span (it opens one or is part of
//   one) and a ">" always leaves it outside (it closes one or stands alone), so a byte is
//   inside exactly when the nearest "<" or ">" before it is a "<", or it is a "<" itself.
//   Over a block that is one addition: with S the "<" bits and P every bit but the ">" ones,
//   a carry starts at each S and runs through P, so the bits after which the reading is
//   inside are (P & ~(P + S + carry in)) | S.
// - "<p>" and "<br>" are CR LF before the strip, so they are neither "<" nor ">" and count
//   two bytes when they stand outside a span. Neither can overlap itself or the other, and
//   CR LF makes neither, so every occurrence counts. They are rare, so a block is searched
//   for them only behind a "<" followed by p or b.
// - The CR LF pairs of the document are removed first; here they count nothing and close
//   nothing. A break tag that only forms once a pair is gone ("<b\r\nr>") would be missed,
//   so when one occurs the count starts again on a copy without the pairs.
// - A span that never closes keeps its bytes: it is the one that starts at the first "<"
//   behind the last ">". Most pages end outside a span, so the pass leaves it out and only
//   notes where the last run of 16 blocks with a ">" that closes a span starts. When the
//   reading is inside at the end, the blocks from there are counted again, this time with
//   the inside bytes behind each block's last ">", which gives that span's size. That count
//   needs nothing from before the run: it keeps what lies behind the run's last ">", and the
//   ">" of a break tag that spills into the run's first block, which it cannot tell, stands
//   before every other ">" there. A page cut inside a tag costs a run or two more; one whose
//   last ">" is far back, up to a second pass. Keeping that size on every block cost every
//   page some 7% more.
namespace pagefields {
namespace {

using simd::kBlockSize;
using simd::Mask;

// How far ahead of the block loop its bytes are asked into the cache. This count goes through
// a page faster than any other scan, and the processor's own prefetcher stops at each 4 KB
// page of memory; asked a page ahead, the bytes of a file just read are there when the loop
// comes (a request on pages of 100 KB and 8 MiB took 1-5% less). The other scans do more work
// per byte, and prefetching cost them more than it saved.
constexpr std::size_t kPrefetchDistance = 4096;

// Length of the "<p>" or "<br>" (any case) that starts at `at`, or 0.
std::size_t BreakTagLength(std::string_view text, std::size_t at) {
  if (text.size() - at >= 4) {
    // The four bytes at once, the first in the low byte; setting bit 5 of the letters folds
    // their case and leaves "<" and ">" as they are.
    std::uint32_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&word, text.data() + at, sizeof word);
    } else {
      for (std::size_t i = 0; i < 4; ++i) {
        word |= std::uint32_t{static_cast<unsigned char>(text[at + i])} << (8 * i);
      }
    }
    if (((word | 0x2000u) & 0xFFFFFFu) == 0x3E703Cu) return 3;  // "<p>"
    if ((word | 0x202000u) == 0x3E72623Cu) return 4;            // "<br>"
    return 0;
  }
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

// A byte a break tag can have before its last one.
bool IsBreakTagByte(char c) {
  const char folded = FoldCase(c);
  return folded == '<' || folded == 'P' || folded == 'B' || folded == 'R';
}

// True when removing the CR LF pairs from `text` joins a break tag across the run of pairs
// that starts at `run`: up to three kept bytes on each side are read as the text will be.
// Calls nothing, so that the block loop around it keeps its vector constants in registers.
bool JoinsBreakTag(std::string_view text, std::size_t run) {
  char behind[3];  // the kept bytes before the run, nearest first
  std::size_t before = 0;
  for (std::size_t at = run; at > 0 && before < 3;) {
    --at;
    if (!IsPairByte(text, at)) behind[before++] = text[at];
  }
  char window[6];
  std::size_t size = 0;
  while (size < before) {
    window[size] = behind[before - 1 - size];
    ++size;
  }
  for (std::size_t at = run; at < text.size() && size < before + 3; ++at) {
    if (!IsPairByte(text, at)) window[size++] = text[at];
  }
  const std::string_view joined(window, size);
  for (std::size_t start = 0; start < before; ++start) {
    const std::size_t length = BreakTagLength(joined, start);
    if (length != 0 && start + length > before) return true;
  }
  return false;
}

// The bytes of a block the count reads.
struct TagBytes {
  Mask opens;        // '<'
  Mask closes;       // '>'
  Mask pair_crs;     // a CR with an LF behind it
  Mask break_hints;  // a '<' with p or b (any case) behind it: where a break tag may start
};

// Reads one byte past the block. The pairs and break hints come out of one mask: the CRs
// are never a '<'.
template <typename K>
struct ReadTagBytes {
  TagBytes operator()(const char* at) const {
    const typename K::Block block = K::Load(at);
    const typename K::Block ahead = K::Load(at + 1);
    const typename K::Lanes opens = K::EqualLanes(block, '<');
    const typename K::Lanes pair_crs =
        K::And(K::EqualLanes(block, '\r'), K::EqualLanes(ahead, '\n'));
    const typename K::Lanes hints =
        K::And(opens, K::Or(K::EqualFoldedLanes(ahead, 'p'), K::EqualFoldedLanes(ahead, 'b')));
    const Mask open_mask = K::ToMask(opens);
    const Mask marks = K::ToMask(K::Or(pair_crs, hints));
    return {open_mask, K::ToMask(K::EqualLanes(block, '>')), marks & ~open_mask, marks & open_mask};
  }
};

// The first bytes of the "<p>" and "<br>" (any case) of a block, and of the "<br>" among
// them. Reads three bytes past it.
struct BreakTags {
  Mask starts;
  Mask line_breaks;
};

template <typename K>
struct ReadBreakTags {
  BreakTags operator()(const char* at) const {
    const typename K::Block second = K::Load(at + 1);
    const typename K::Block third = K::Load(at + 2);
    const typename K::Lanes opens = K::EqualLanes(K::Load(at), '<');
    const typename K::Lanes paragraphs =
        K::And(K::And(opens, K::EqualFoldedLanes(second, 'p')), K::EqualLanes(third, '>'));
    const typename K::Lanes line_breaks =
        K::And(K::And(opens, K::EqualFoldedLanes(second, 'b')),
               K::And(K::EqualFoldedLanes(third, 'r'), K::EqualLanes(K::Load(at + 3), '>')));
    return {K::ToMask(K::Or(paragraphs, line_breaks)), K::ToMask(line_breaks)};
  }
};

template <typename K>
struct PairCrs {
  simd::Mask operator()(const char* at) const {
    return K::ToMask(
        K::And(K::EqualLanes(K::Load(at), '\r'), K::EqualLanes(K::Load(at + 1), '\n')));
  }
};

// `text` without its CR LF pairs, taken left to right as they stand.
template <typename K>
std::string WithoutPairs(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  std::size_t from = 0;
  simd::ForEachSelected<1>(text, 0, text.size(), PairCrs<K>{}, [&](std::size_t cr) {
    kept.append(text, from, cr - from);
    from = cr + 2;  // pairs cannot overlap: an LF is no CR
    return true;
  });
  kept.append(text, from);
  return kept;
}

// Counts what the bytes of a text leave, block by block: the bytes outside spans, and apart
// from them those of the span still open at the end.
//
// Every byte is counted where it stands; a pair or break tag then takes back what it does
// not leave: two for a pair, one for "<p>", two for "<br>". A pair or a break tag is wholly
// inside or wholly outside a span (none of its bytes opens or closes one), so it is taken
// back in the block where it starts, by its first byte, even when it reaches into the next.
// The first bytes of those are marked in two masks, so that taking back costs two counts:
// every pair and break tag is in `back_once`, the pairs and "<br>" also in `back_twice`.
template <typename K>
class SizeCounter {
 public:
  SizeCounter(std::string_view text, bool remove_pairs)
      : text_(text), remove_pairs_(remove_pairs) {}

  // False when a break tag forms across removed pairs; the count is then not valid.
  bool Run() {
    if (!CountBlocks<false>(0)) return false;
    if (inside_ == 0) return true;
    SizeCounter again(text_, remove_pairs_);
    again.template CountBlocks<true>(last_closing_run_);  // as before, no break tag forms
    open_span_ = again.open_span_;
    return true;
  }

  // What the bytes outside spans leave, and those of the span open at the end.
  std::size_t counted() const { return counted_ + (inside_ != 0 ? open_span_ : 0); }

 private:
  static constexpr std::size_t kRunLength = 16 * kBlockSize;

  // Counts the blocks from `from`, the start of a run; with `kOpenSpan` also what the span
  // open after each leaves, else where the last run with a ">" that closes a span starts.
  template <bool kOpenSpan>
  bool CountBlocks(std::size_t from) {
    // The blocks read in place with the three bytes behind them that a break tag may take;
    // the last ones from a padded copy.
    constexpr std::size_t kInPlace = kBlockSize + 3;
    const std::size_t in_place_end =
        text_.size() < kInPlace ? 0
                                : (text_.size() - kInPlace) / kBlockSize * kBlockSize + kBlockSize;
    std::size_t at = from;
    while (at < in_place_end) {
      if constexpr (!kOpenSpan) StartRun(at);
      for (const std::size_t run_end = std::min(at + kRunLength, in_place_end); at < run_end;
           at += kBlockSize) {
        // Never past the last byte: a pointer beyond the text is not one to form.
        __builtin_prefetch(text_.data() + std::min(at + kPrefetchDistance, text_.size() - 1));
        const TagBytes bytes = ReadTagBytes<K>{}(text_.data() + at);
        if (!CountBlock<true, kOpenSpan>(at, bytes, ~Mask{0})) return false;
      }
    }
    // The last blocks join the run before.
    for (; at < text_.size(); at += kBlockSize) {
      const TagBytes bytes = simd::SelectAt<1>(text_, at, ReadTagBytes<K>{});
      if (!CountBlock<false, kOpenSpan>(at, bytes, simd::LowBits(text_.size() - at))) {
        return false;
      }
    }
    if constexpr (!kOpenSpan) StartRun(at);
    return true;
  }

  // Ends the run of blocks before `at`, noting its start when it closes a span, and starts
  // one there.
  void StartRun(std::size_t at) {
    if (closed_in_run_ != 0) last_closing_run_ = run_;
    run_ = at;
    closed_in_run_ = 0;
  }

  // False when removing the pairs that start at `pair_crs` joins a break tag.
  bool PairsKeepBreakTags(std::size_t at, Mask pair_crs, Mask closes) const {
    // A run of pairs can join a break tag only right behind one of a break tag's bytes (so
    // not behind a pair), and most runs follow a ">", which no break tag has before its end.
    for (Mask runs = pair_crs & ~(closes << 1); runs != 0; runs &= runs - 1) {
      const std::size_t run = at + simd::FirstBit(runs);
      if (run > 0 && IsBreakTagByte(text_[run - 1]) && JoinsBreakTag(text_, run)) {
        return false;
      }
    }
    return true;
  }

  // The first bytes of the block's break tags, and of its "<br>" among them.
  template <bool kInPlace>
  BreakTags FindBreaks(std::size_t at, Mask hints) const {
    if ((hints & (hints - 1)) != 0) {
      // Several: the whole block at once, so that a text dense with break tags costs no more
      // per byte than any other.
      if constexpr (kInPlace) return ReadBreakTags<K>{}(text_.data() + at);
      return simd::SelectAt<3>(text_, at, ReadBreakTags<K>{});
    }
    const std::size_t length = BreakTagLength(text_, at + simd::FirstBit(hints));
    return {length != 0 ? hints : 0, length == 4 ? hints : 0};
  }

  // `kInPlace`: the text holds the block and the three bytes behind it. `kOpenSpan`: see
  // CountBlocks.
  template <bool kInPlace, bool kOpenSpan>
  bool CountBlock(std::size_t at, const TagBytes& bytes, Mask valid) {
    // Most blocks have neither pairs nor break tags.
    if ((bytes.pair_crs | bytes.break_hints | break_spill_) == 0) {
      CountSpans<kOpenSpan>(bytes.opens, bytes.closes, valid, 0, 0);
      return true;
    }
    Mask pair_crs = 0;
    if (remove_pairs_ && bytes.pair_crs != 0) {
      if (!PairsKeepBreakTags(at, bytes.pair_crs, bytes.closes)) return false;
      pair_crs = bytes.pair_crs;
    }
    BreakTags breaks{0, 0};
    if (bytes.break_hints != 0) breaks = FindBreaks<kInPlace>(at, bytes.break_hints);
    // A break tag's "<" opens nothing and its ">" closes nothing; the ">" of "<br>" is three
    // bytes on, that of "<p>" two (where "<br>" has its "r").
    const Mask ends = bytes.closes & ~(breaks.starts << 2 | breaks.line_breaks << 3 | break_spill_);
    break_spill_ = breaks.starts >> 62 | breaks.line_breaks >> 61;
    CountSpans<kOpenSpan>(bytes.opens & ~breaks.starts, ends, valid, pair_crs | breaks.starts,
                          pair_crs | breaks.line_breaks);
    return true;
  }

  // Counts the valid bytes of a block with the spans that `starts` open and `ends` close,
  // the marked pairs and break tags taken back; with `kOpenSpan` also the span open after it.
  template <bool kOpenSpan>
  void CountSpans(Mask starts, Mask ends, Mask valid, Mask back_once, Mask back_twice) {
    // The inside bits, by the addition described above. The reading after the block is
    // that after its last byte.
    const Mask inside_before = inside_;
    const Mask propagate = ~ends;
    const Mask inside_after = (propagate & ~(propagate + starts + inside_before)) | starts;
    const Mask in_span = inside_after << 1 | inside_before | starts;
    inside_ = inside_after >> 63;

    counted_ += Left(~in_span & valid, back_once, back_twice);
    if constexpr (!kOpenSpan) {
      closed_in_run_ |= ends;
      return;
    }
    // Outside at the end, no span is open. Inside, the bytes behind the block's last ">" are
    // all in the span still open; they add to those before when the block has no ">".
    if (!inside_) {
      open_span_ = 0;
      return;
    }
    Mask span = in_span & valid;
    if (ends != 0) {
      span &= ~Mask{1} << simd::LastBit(ends);
      open_span_ = 0;
    }
    open_span_ += Left(span, back_once, back_twice);
  }

  // What the bytes of `counted` leave, with the pairs and break tags taken back. A block may
  // take back more than it counts (a "<br>" whose "<" is its last byte), so a share can wrap
  // around; the sums of the shares come out right.
  static std::size_t Left(Mask counted, Mask back_once, Mask back_twice) {
    std::size_t left = static_cast<std::size_t>(K::Count(counted));
    if ((back_once | back_twice) != 0) {
      left -=
          static_cast<std::size_t>(K::Count(counted & back_once) + K::Count(counted & back_twice));
    }
    return left;
  }

  std::string_view text_;
  bool remove_pairs_;
  Mask inside_ = 0;                   // 1 when inside a span after the blocks counted so far
  std::size_t counted_ = 0;           // what the counted bytes leave
  std::size_t open_span_ = 0;         // what the span open after the counted blocks leaves
  Mask break_spill_ = 0;              // the ">" of a break tag that starts in the block before
  std::size_t run_ = 0;               // where the run of blocks being counted starts
  Mask closed_in_run_ = 0;            // the ">" of that run's blocks that close a span
  std::size_t last_closing_run_ = 0;  // the last run before it with such a ">"; the first if none
};

// The size of `text`, or nullopt when a break tag forms across removed pairs.
template <typename K>
std::optional<std::size_t> CountSize(std::string_view text, bool remove_pairs) {
  SizeCounter<K> counter(text, remove_pairs);
  if (!counter.Run()) return std::nullopt;
  return counter.counted();
}

template <typename K>
std::int32_t MeasureWith(std::string_view document) {
  std::optional<std::size_t> size = CountSize<K>(document, true);
  if (!size) size = CountSize<K>(WithoutPairs<K>(document), false);
  return static_cast<std::int32_t>(*size);
}

}  // namespace

std::int32_t MeasureTextSize(std::string_view document) {
  return simd::Dispatch([&](auto kernel) { return MeasureWith<decltype(kernel)>(document); });
}

}  // namespace pagefields
