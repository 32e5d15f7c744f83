#include "extract/noindex.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "extract/noindex_markers.h"

// The joined contents J are never built. A block's content is a document range [start, end);
// blocks that share their closing marker form a group, and each block of a group starts
// inside the one before it, behind an opening marker of its own. J is the sequence of the
// blocks' ranges; a place in J is a block and a document offset inside that block's range.
//
// The steps on J are done on the fly: CR LF to a blank as bytes are read (only at the end of
// a block does the pair depend on the next block), TrimCopy as the place of its first byte
// and its end, and StripTags as one pass whose "no later >" rule becomes: everything behind
// the last ">" of the trimmed text is kept as it stands.
namespace pagefields {
namespace {

constexpr std::uint32_t kOpeningLength = kNoindexOpening.size();

// A list of offsets that grows by chunks of its own, so that it never copies itself and
// takes no more room than it holds (and one chunk).
class OffsetList {
 public:
  // A nested run pushes one offset per opening marker, so the common case is a store.
  void push_back(std::uint32_t offset) {
    if (free_ == chunk_end_) AddChunk();
    *free_++ = offset;
    ++size_;
  }
  std::uint32_t operator[](std::size_t i) const { return (*chunks_[i / kChunk])[i % kChunk]; }
  std::size_t size() const { return size_; }

 private:
  static constexpr std::size_t kChunk = 4096;
  using Chunk = std::array<std::uint32_t, kChunk>;

  // Kept out of line, so that push_back stays small enough to inline into the marker walk.
  [[gnu::noinline]] void AddChunk() {
    chunks_.push_back(std::make_unique_for_overwrite<Chunk>());
    free_ = chunks_.back()->data();
    chunk_end_ = free_ + kChunk;
  }

  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::uint32_t* free_ = nullptr;  // the next free slot of the last chunk
  std::uint32_t* chunk_end_ = nullptr;
  std::size_t size_ = 0;
};

struct Blocks {
  OffsetList starts;          // 0-based content start of every opening, in order
  OffsetList group_first;     // index of each group's first block
  OffsetList group_end;       // 0-based content end shared by the group's blocks
  std::size_t in_groups = 0;  // the openings that have a closing behind them
};

struct Place {
  std::size_t block = 0;
  std::size_t offset = 0;  // document offset within the block's range
  bool operator<(const Place& other) const {
    return block != other.block ? block < other.block : offset < other.offset;
  }
};

// The blocks of a document, found by a walk over its markers that can stop and go on. Each
// opening's block ends at the first closing behind it, so the openings since the last
// closing form a group with the next closing; openings that no closing follows open no
// block. The groups found so far are the first groups of the whole document.
class BlockFinder {
 public:
  explicit BlockFinder(std::string_view document) : document_(document) {}

  // Takes in the markers that start before `to`.
  void ScanTo(std::size_t to) {
    ForEachNoindexMarker(document_, scanned_, to, [this](std::size_t at, bool closing) {
      if (!closing) {
        blocks_.starts.push_back(static_cast<std::uint32_t>(at) + kOpeningLength);
        open_starts_ += at + kOpeningLength;
      } else if (blocks_.in_groups < blocks_.starts.size()) {
        blocks_.group_first.push_back(static_cast<std::uint32_t>(blocks_.in_groups));
        blocks_.group_end.push_back(static_cast<std::uint32_t>(at));
        const std::size_t openings = blocks_.starts.size() - blocks_.in_groups;
        joined_length_ += std::uint64_t{openings} * at - open_starts_;
        open_starts_ = 0;
        blocks_.in_groups = blocks_.starts.size();
      }
    });
    scanned_ = std::max(scanned_, to);
  }

  bool done() const { return scanned_ >= document_.size(); }
  const Blocks& blocks() const { return blocks_; }
  // The length of the joined contents of the groups found so far.
  std::uint64_t joined_length() const { return joined_length_; }

 private:
  std::string_view document_;
  Blocks blocks_;
  std::size_t scanned_ = 0;
  std::uint64_t joined_length_ = 0;
  std::uint64_t open_starts_ = 0;  // the sum of the content starts since the last closing
};

// Where kept bytes go: a string that takes at most `limit` of them, or nowhere when only
// their number is wanted.
struct Sink {
  std::string* text = nullptr;
  std::size_t limit = kWholeText;
  std::size_t count = 0;

  bool full() const { return count >= limit; }
  void Put(char c) {
    if (text != nullptr) *text += c;
    ++count;
  }
  void Append(std::string_view bytes) {
    const std::size_t taken = std::min(bytes.size(), limit - count);
    if (text != nullptr) text->append(bytes.data(), taken);
    count += taken;
  }
};

// The first place in [from, to), from < to, of a CR, or also of a "<" when `with_lt`; `to`
// when there is none.
std::size_t FindCrOrLt(std::string_view text, std::size_t from, std::size_t to, bool with_lt) {
  const char* const data = text.data();
  if (!with_lt) {
    const void* cr = std::memchr(data + from, '\r', to - from);
    return cr == nullptr ? to : static_cast<std::size_t>(static_cast<const char*>(cr) - data);
  }
  std::size_t x = from;
#if defined(__SSE2__)
  for (; x + 16 <= to; x += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + x));
    const __m128i found = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')),
                                       _mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')));
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(found));
    if (bits != 0) return x + static_cast<std::size_t>(std::countr_zero(bits));
  }
#endif
  while (x < to && data[x] != '\r' && data[x] != '<') ++x;
  return x;
}

bool IsLeadingBlank(char c) {
  return c >= 1 && c <= 32;
}
bool IsBlankByte(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

class NoindexText {
 public:
  NoindexText(std::string_view document, const Blocks& blocks, std::size_t max_bytes)
      : document_(document),
        blocks_(blocks),
        wanted_bytes_(max_bytes),
        // One byte more than wanted: a CR that ends a block changes if the next block begins
        // with an LF, so the last wanted byte is final only once a byte behind it is read.
        out_{&out_text_, max_bytes == kWholeText ? kWholeText : max_bytes + 1} {}

  // `joined_length`: that of the blocks' joined contents, which the text never outgrows. A
  // cut text is held at its final size from the start; an uncut one grows as it goes.
  std::string Run(std::uint64_t joined_length) {
    if (!FindBegin() || !FindStop()) return {};
    if (out_.limit != kWholeText) {
      out_text_.reserve(
          static_cast<std::size_t>(std::min<std::uint64_t>(out_.limit, joined_length)));
    }
    FindLastTagEnd();
    Emit();
    if (out_text_.size() > wanted_bytes_) out_text_.resize(wanted_bytes_);
    return std::move(out_text_);
  }

  // Whether the text of these first groups begins with the whole document's text, as far as
  // it was wanted. It does when its end is a NUL, which ends the whole text there too, and
  // when the output filled up before its last ">": the whole text has that ">" before its
  // end as well, so all bytes up to it are read the same way.
  bool Final() const {
    return stop_is_nul_ || (out_.full() && (kept_from_ == kWholeText || kept_from_ >= out_.limit));
  }

 private:
  std::size_t Groups() const { return blocks_.group_end.size(); }
  std::size_t First(std::size_t g) const { return blocks_.group_first[g]; }
  std::size_t Last(std::size_t g) const {
    return (g + 1 < Groups() ? blocks_.group_first[g + 1] : blocks_.in_groups) - 1;
  }
  std::size_t End(std::size_t g) const { return blocks_.group_end[g]; }
  std::size_t Start(std::size_t block) const { return blocks_.starts[block]; }

  // TrimCopy's first byte: the first byte of J that is NUL or above 32. A block that is not
  // the last of its group holds an opening marker, so each scan ends at the next block.
  bool FindBegin() {
    for (std::size_t g = 0; g < Groups(); ++g) {
      for (std::size_t b = First(g); b <= Last(g); ++b) {
        for (std::size_t x = Start(b); x < End(g); ++x) {
          if (!IsLeadingBlank(document_[x])) {
            begin_ = {b, x};
            begin_group_ = g;
            return true;
          }
        }
      }
    }
    return false;
  }

  // TrimCopy's end: the first NUL from the first byte on, or behind the last non-blank byte.
  bool FindStop() {
    Place stop{};
    bool found = false;
    // The last non-blank byte: scanning back from a group's end, the first one met lies in
    // the last block that starts at or before it.
    for (std::size_t g = Groups(); g-- > begin_group_ && !found;) {
      std::size_t x = End(g);
      while (x > Start(First(g)) && IsBlankByte(document_[x - 1])) --x;
      if (x == Start(First(g))) continue;
      std::size_t b = Last(g);
      while (Start(b) >= x) --b;
      stop = {b, x};
      found = true;
    }
    if (!found) return false;
    // The first NUL: a later block of a group lies inside its first block's range, so one
    // search runs through the groups, and a NUL found between two groups is passed over.
    const std::size_t end = End(Groups() - 1);
    std::size_t from = begin_.offset;
    for (std::size_t g = begin_group_; g < Groups() && from < end;) {
      const void* nul = std::memchr(document_.data() + from, '\0', end - from);
      if (nul == nullptr) break;
      const auto y = static_cast<std::size_t>(static_cast<const char*>(nul) - document_.data());
      while (End(g) <= y) ++g;  // the last group ends past y
      const bool in_begin_group = g == begin_group_;
      if (y >= (in_begin_group ? begin_.offset : Start(First(g)))) {
        const Place at{in_begin_group ? begin_.block : First(g), y};
        if (at < stop) {
          stop = at;
          stop_is_nul_ = true;
        }
        break;
      }
      from = Start(First(g));
    }
    stop_ = stop;
    return begin_ < stop_;
  }

  std::size_t GroupOf(std::size_t block) const {
    std::size_t g = 0;
    while (Last(g) < block) ++g;
    return g;
  }

  // The last ">" before the end; a block before a later block of its own group ends with that
  // block's opening marker, so only blocks without a ">" are passed, and those are disjoint.
  void FindLastTagEnd() {
    std::size_t g = GroupOf(stop_.block);
    for (std::size_t b = stop_.block + 1; b-- > 0;) {
      while (First(g) > b) --g;
      const std::size_t from = Start(b);
      const std::size_t to = b == stop_.block ? stop_.offset : End(g);
      for (std::size_t x = to; x > from; --x) {
        if (document_[x - 1] == '>') {
          const Place at{b, x - 1};
          has_tag_end_ = !(at < begin_);
          tag_end_ = at;
          return;
        }
      }
      if (b == begin_.block) return;
    }
  }

  enum class Mode { kStrip, kKeep };

  // Reads document[from, to) as part of J: CR LF pairs become a blank, and in kStrip mode the
  // tag spans go. Returns true when the last byte read was a CR that was kept unpaired.
  bool Read(std::size_t from, std::size_t to, Mode mode, Sink& out) {
    bool ends_with_cr = false;
    std::size_t x = from;
    while (x < to && !out.full()) {
      ends_with_cr = false;
      if (inside_) {
        const void* close = std::memchr(document_.data() + x, '>', to - x);
        if (close == nullptr) return false;
        x = static_cast<std::size_t>(static_cast<const char*>(close) - document_.data()) + 1;
        inside_ = false;
        continue;
      }
      // The bytes up to a CR, or up to a "<" when tags go, are kept as they are.
      const std::size_t run = FindCrOrLt(document_, x, to, mode == Mode::kStrip);
      if (run > x) {
        out.Append(document_.substr(x, run - x));
        x = run;
      } else if (document_[x] == '<') {
        inside_ = true;
        ++x;
      } else if (x + 1 < to && document_[x + 1] == '\n') {
        out.Put(' ');
        x += 2;
      } else {
        out.Put('\r');
        ends_with_cr = true;
        ++x;
      }
    }
    return ends_with_cr;
  }

  // Block b's part of its group: its bytes up to where the next block starts.
  std::size_t PartEnd(std::size_t g, std::size_t b) const {
    return b < Last(g) ? Start(b + 1) : End(g);
  }

  // What J's blocks from block `first` of group g on leave, read from outside a tag, as far
  // as `limit` bytes: a block starts right behind an opening marker, whose ">" always ends
  // any span, so each block's part of it is the same in every block of the group that holds
  // it, and the parts can be read as one range. A tail cut at `limit` fills the output, so
  // no later block asks for it.
  void BuildGroupTail(std::size_t g, std::size_t first, std::size_t limit) {
    tail_group_ = g;
    tail_.clear();
    Sink tail{&tail_, limit};
    const bool saved_inside = inside_;
    inside_ = false;
    tail_ends_with_cr_ = Read(Start(first), End(g), Mode::kStrip, tail);
    tail_inside_ = inside_;
    inside_ = saved_inside;
    tail_cursor_ = 0;
    tail_cursor_block_ = first;
  }

  // Where block t's part begins in the tail of its group. Blocks ask in rising order, so the
  // place moves on by the length of each part passed, counted again rather than stored.
  std::size_t TailOffset(std::size_t g, std::size_t t) {
    const bool saved_inside = inside_;
    for (; tail_cursor_block_ < t; ++tail_cursor_block_) {
      Sink counter;
      inside_ = false;
      Read(Start(tail_cursor_block_), PartEnd(g, tail_cursor_block_), Mode::kStrip, counter);
      tail_cursor_ += counter.count;
    }
    inside_ = saved_inside;
    return tail_cursor_;
  }

  void Emit() {
    bool pending_cr = false;
    for (std::size_t g = begin_group_; g < Groups() && !out_.full(); ++g) {
      for (std::size_t b = First(g); b <= Last(g) && !out_.full(); ++b) {
        if (b < begin_.block) continue;
        if (stop_ < Place{b, Start(b)}) return;
        std::size_t from = b == begin_.block ? begin_.offset : Start(b);
        const std::size_t to = b == stop_.block ? stop_.offset : End(g);
        if (from == to) continue;
        // A CR that ended the previous block pairs with an LF that starts this one.
        if (pending_cr && document_[from] == '\n') {
          out_text_.back() = ' ';
          ++from;
        }
        pending_cr = ReadBlock(g, b, from, to);
      }
    }
  }

  bool ReadBlock(std::size_t g, std::size_t b, std::size_t from, std::size_t to) {
    if (!has_tag_end_ || tag_end_.block < b) return ReadKept(from, to);
    if (tag_end_.block == b) {
      Read(from, tag_end_.offset + 1, Mode::kStrip, out_);
      return ReadKept(tag_end_.offset + 1, to);
    }
    // Wholly before the last ">": the part up to the next block's start is read, the rest is
    // the group's shared tail from that block on.
    if (b == Last(g) || stop_.block == b) return Read(from, to, Mode::kStrip, out_);
    Read(from, Start(b + 1), Mode::kStrip, out_);
    const std::size_t room = out_.limit - out_.count;
    if (tail_group_ != g) BuildGroupTail(g, b + 1, room);
    const std::size_t offset = TailOffset(g, b + 1);
    out_text_.append(tail_, offset, room);
    out_.count = out_text_.size();
    inside_ = tail_inside_;
    return tail_ends_with_cr_;
  }

  // Behind the last ">", where every byte is kept as it stands.
  bool ReadKept(std::size_t from, std::size_t to) {
    if (kept_from_ == kWholeText) kept_from_ = out_.count;
    return Read(from, to, Mode::kKeep, out_);
  }

  std::string_view document_;
  const Blocks& blocks_;
  std::size_t wanted_bytes_;
  std::string out_text_;
  Sink out_;
  Place begin_{};
  std::size_t begin_group_ = 0;
  Place stop_{};
  bool stop_is_nul_ = false;
  bool has_tag_end_ = false;
  Place tag_end_{};
  bool inside_ = false;  // within a tag span
  std::size_t tail_group_ = static_cast<std::size_t>(-1);
  std::string tail_;
  std::size_t tail_cursor_ = 0;  // where the part of block tail_cursor_block_ begins
  std::size_t tail_cursor_block_ = 0;
  bool tail_inside_ = false;
  bool tail_ends_with_cr_ = false;
  std::size_t kept_from_ = kWholeText;  // the output's length when the kept bytes began
};

// The first part of the document that is tried, and how much each next try takes in.
constexpr std::size_t kFirstPart = 1024;
constexpr std::size_t kPartGrowth = 2;

}  // namespace

std::string ExtractNoindexText(std::string_view document, std::size_t max_bytes) {
  // When only the first bytes are wanted, they often come from the first blocks alone: the
  // groups of a growing first part of the document are tried, each try taking in only the
  // markers of the next part, until the answer is final or the document is all taken in.
  // A try is made only once the joined contents are longer than the bytes wanted, since a
  // shorter text cannot fill them.
  BlockFinder finder(document);
  std::size_t part = max_bytes == kWholeText ? document.size() : kFirstPart;
  while (true) {
    finder.ScanTo(part);
    if (finder.done() || finder.joined_length() > max_bytes) {
      NoindexText text(document, finder.blocks(), max_bytes);
      std::string result = text.Run(finder.joined_length());
      if (finder.done() || text.Final()) return result;
    }
    part = part > document.size() / kPartGrowth ? document.size() : part * kPartGrowth;
  }
}

}  // namespace pagefields
