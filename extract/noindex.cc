#include "extract/noindex.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "extract/noindex_markers.h"
#include "simd/block_scan.h"
#include "simd/dispatch.h"

// The joined contents J are never built. A block's content is a document range [start, end);
// blocks that share their closing marker form a group, and each block of a group starts
// inside the one before it, behind an opening marker of its own. J is the sequence of the
// blocks' ranges; a place in J is a block and a document offset inside that block's range.
//
// The steps on J are done on the fly: CR LF to a blank as bytes are read (only at the end of
// a block does the pair depend on the next block), the trim as the place of the text's first
// byte and its end, and the strip as one pass whose rule for a "<" without a later ">"
// becomes: everything behind the last ">" of the trimmed text is kept as it stands.
namespace pagefields {
namespace {

using simd::Mask;

constexpr std::uint32_t kOpeningLength = kNoindexOpening.size();

// A list of offsets that grows by chunks of its own, so that it never copies itself and
// takes no more room than it holds (and one chunk). The chunks are small: most pages have few
// markers, and a request whose memory stays small is not followed by the allocator handing
// pages back to the system and faulting them in again.
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
  static constexpr std::size_t kChunk = 256;
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
  std::size_t size_ = 0;  // kept, as the layout asks for it once or more per block
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
template <typename K>
class BlockFinder {
 public:
  explicit BlockFinder(std::string_view document) : document_(document) {}

  // Takes in the markers that start before `to`.
  void ScanTo(std::size_t to) {
    const auto visit = [this](std::size_t at, bool closing) {
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
    };
    ForEachNoindexMarkerWith<K>(document_, scanned_, to, visit, [this] { saw_nul_ = true; });
    scanned_ = std::max(scanned_, to);
  }

  bool done() const { return scanned_ >= document_.size(); }
  const Blocks& blocks() const { return blocks_; }
  // False while no group found so far holds a NUL; most pages have none.
  bool may_hold_nul() const { return saw_nul_; }
  // The length of the joined contents of the groups found so far.
  std::uint64_t joined_length() const { return joined_length_; }

 private:
  std::string_view document_;
  Blocks blocks_;
  std::size_t scanned_ = 0;
  std::uint64_t joined_length_ = 0;
  std::uint64_t open_starts_ = 0;  // the sum of the content starts since the last closing
  bool saw_nul_ = false;           // a NUL lies in the part taken in
};

// The groups and blocks of J over their document, read only.
class Layout {
 public:
  Layout(std::string_view document, const Blocks& blocks) : document_(document), blocks_(blocks) {}

  std::string_view document() const { return document_; }
  std::size_t Groups() const { return blocks_.group_end.size(); }
  std::size_t First(std::size_t g) const { return blocks_.group_first[g]; }
  std::size_t Last(std::size_t g) const {
    return (g + 1 < Groups() ? blocks_.group_first[g + 1] : blocks_.in_groups) - 1;
  }
  std::size_t End(std::size_t g) const { return blocks_.group_end[g]; }
  std::size_t Start(std::size_t block) const { return blocks_.starts[block]; }
  // Block b's part of group g: its bytes up to where the next block starts.
  std::size_t PartEnd(std::size_t g, std::size_t b) const {
    return b < Last(g) ? Start(b + 1) : End(g);
  }

 private:
  std::string_view document_;
  const Blocks& blocks_;
};

// The bytes the trim drops in front: 1 to 32. A NUL is no such byte; it ends the text.
template <typename K>
struct NotLeadingBlank {
  Mask operator()(const char* at) const { return ~K::InRange(K::Load(at), 1, 32); }
};
// The bytes the trim keeps at the end: above 32.
template <typename K>
struct NotBlank {
  Mask operator()(const char* at) const { return ~K::InRange(K::Load(at), 0, 32); }
};
// What a tag span's reading stops at: its "<" and ">", and a CR, which pairs with an LF.
template <typename K>
struct TagMarks {
  Mask operator()(const char* at) const { return K::AnyOf(K::Load(at), '<', '>', '\r'); }
};

// Where the text lies in J once trimmed, [begin, stop), and its last ">". Set once, before
// any byte is read.
struct Bounds {
  Place begin;                   // the first byte that is NUL or above 32
  std::size_t begin_group = 0;   // the group of begin.block
  Place stop;                    // the first NUL from begin on, or behind the last byte above 32
  bool stop_is_nul = false;      // the text ends at a NUL
  std::optional<Place> tag_end;  // the last ">" in [begin, stop)
  std::size_t stop_group = 0;    // the group of stop.block
  // The first groups, in which no NUL lies from begin on: a later try over more groups
  // searches only the groups behind them.
  std::size_t nul_free_groups = 0;

  bool empty() const { return !(begin < stop); }
};

// The text's first byte. A block that is not the last of its group holds an opening marker,
// so each search ends at the next block.
template <typename K>
std::optional<Bounds> FindBegin(const Layout& j) {
  const std::string_view document = j.document();
  for (std::size_t g = 0; g < j.Groups(); ++g) {
    for (std::size_t b = j.First(g); b <= j.Last(g); ++b) {
      const std::size_t x = simd::FindFirst(document, j.Start(b), j.End(g), NotLeadingBlank<K>{});
      if (x < j.End(g)) {
        Bounds bounds;
        bounds.begin = {b, x};
        bounds.begin_group = g;
        return bounds;
      }
    }
  }
  return std::nullopt;
}

// The text's end: the first NUL from its first byte on, or behind the last byte above 32;
// its first byte when there is no such byte.
template <typename K>
void FindStop(const Layout& j, Bounds& bounds) {
  const std::string_view document = j.document();
  Place stop{};
  bool found = false;
  // The last byte above 32: searching back from a group's end, the first one met lies in the
  // last block that starts at or before it.
  for (std::size_t g = j.Groups(); g-- > bounds.begin_group && !found;) {
    const std::size_t from = j.Start(j.First(g));
    const std::size_t last = simd::FindLast(document, from, j.End(g), NotBlank<K>{});
    if (last == j.End(g)) continue;
    std::size_t b = j.Last(g);
    while (j.Start(b) > last) --b;
    stop = {b, last + 1};
    bounds.stop_group = g;
    found = true;
  }
  if (!found) {
    bounds.stop = bounds.begin;
    bounds.stop_group = bounds.begin_group;
    return;
  }
  // The first NUL: a later block of a group lies inside its first block's range, so one
  // search runs through the groups, and a NUL found between two groups is passed over.
  const std::size_t end = j.End(j.Groups() - 1);
  std::size_t g = std::max(bounds.begin_group, bounds.nul_free_groups);
  std::size_t from = g == bounds.begin_group ? bounds.begin.offset
                     : g < j.Groups()        ? j.Start(j.First(g))
                                             : end;
  while (g < j.Groups() && from < end) {
    const void* nul = std::memchr(document.data() + from, '\0', end - from);
    if (nul == nullptr) {
      bounds.nul_free_groups = j.Groups();
      break;
    }
    const auto y = static_cast<std::size_t>(static_cast<const char*>(nul) - document.data());
    while (j.End(g) <= y) ++g;  // the last group ends past y
    const bool in_begin_group = g == bounds.begin_group;
    if (y >= (in_begin_group ? bounds.begin.offset : j.Start(j.First(g)))) {
      const Place at{in_begin_group ? bounds.begin.block : j.First(g), y};
      if (at < stop) {
        stop = at;
        bounds.stop_group = g;
        bounds.stop_is_nul = true;
      }
      break;
    }
    from = j.Start(j.First(g));
  }
  bounds.stop = stop;
}

// The last ">" before the stop; a block before a later block of its own group ends with that
// block's opening marker, so only blocks without a ">" are passed, and those are disjoint.
template <typename K>
std::optional<Place> FindLastTagEnd(const Layout& j, const Bounds& bounds) {
  std::size_t g = bounds.stop_group;
  for (std::size_t b = bounds.stop.block + 1; b-- > 0;) {
    while (j.First(g) > b) --g;
    const std::size_t from = j.Start(b);
    const std::size_t to = b == bounds.stop.block ? bounds.stop.offset : j.End(g);
    const std::size_t x = simd::FindLast(j.document(), from, to, simd::ByteIs<K, '>'>{});
    if (x < to) {
      const Place at{b, x};
      if (at < bounds.begin) return std::nullopt;
      return at;
    }
    if (b == bounds.begin.block) return std::nullopt;
  }
  return std::nullopt;
}

template <typename K>
std::optional<Bounds> FindBounds(const Layout& j, std::size_t nul_free_groups) {
  std::optional<Bounds> bounds = FindBegin<K>(j);
  if (!bounds) return std::nullopt;
  bounds->nul_free_groups = nul_free_groups;
  FindStop<K>(j, *bounds);
  if (!bounds->empty()) bounds->tag_end = FindLastTagEnd<K>(j, *bounds);
  return bounds;
}

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

enum class Mode { kStrip, kKeep };

// Reads document ranges as bytes of J: a CR LF pair becomes a blank, and in kStrip mode the
// tag spans go. Its one state is whether the reading is within a span.
template <typename K>
class SpanReader {
 public:
  explicit SpanReader(std::string_view document, bool inside = false)
      : document_(document), inside_(inside) {}

  bool inside() const { return inside_; }
  // Goes on behind a range read elsewhere, within a span or not.
  void set_inside(bool inside) { inside_ = inside; }

  // Reads document[from, to) into `out` until it is full. Returns true when the last byte
  // read was a CR that was kept unpaired.
  bool Read(std::size_t from, std::size_t to, Mode mode, Sink& out) {
    return mode == Mode::kStrip ? ReadStripped(from, to, out) : ReadKept(from, to, out);
  }

 private:
  // Walks the marks of the range's blocks bit by bit: inside a span only its ">" counts,
  // outside it a ">" is text, so the bytes from `x` up to the next "<" or CR go out as one run.
  bool ReadStripped(std::size_t from, std::size_t to, Sink& out) {
    if (out.full()) return false;
    bool ends_with_cr = false;
    std::size_t x = from;  // the first byte not yet passed on or dropped
    const bool stopped =
        !simd::ForEachSelected(document_, from, to, TagMarks<K>{}, [&](std::size_t mark) {
          const char byte = document_[mark];
          if (inside_) {
            if (byte == '>') {
              inside_ = false;
              x = mark + 1;
            }
            return true;
          }
          if (byte == '>') return true;
          ends_with_cr = false;
          if (mark > x) {
            out.Append(document_.substr(x, mark - x));
            if (out.full()) return false;
          }
          if (byte == '<') {
            inside_ = true;
            x = mark + 1;
            return true;
          }
          x = mark;
          ends_with_cr = Crlf(x, to, out);
          return !out.full();
        });
    if (!stopped && !inside_ && x < to) {
      out.Append(document_.substr(x, to - x));
      ends_with_cr = false;
    }
    return ends_with_cr;
  }

  // Behind the text's last ">": only CRs are looked at.
  bool ReadKept(std::size_t from, std::size_t to, Sink& out) {
    bool ends_with_cr = false;
    std::size_t x = from;
    while (x < to && !out.full()) {
      const void* cr = std::memchr(document_.data() + x, '\r', to - x);
      const std::size_t run =
          cr == nullptr ? to
                        : static_cast<std::size_t>(static_cast<const char*>(cr) - document_.data());
      ends_with_cr = false;
      if (run > x) {
        out.Append(document_.substr(x, run - x));
        x = run;
      } else {
        ends_with_cr = Crlf(x, to, out);
      }
    }
    return ends_with_cr;
  }

  // The CR at x: a blank with the LF behind it in the range, else itself. Moves x past what
  // it took; returns true when the CR stays unpaired.
  bool Crlf(std::size_t& x, std::size_t to, Sink& out) const {
    if (x + 1 < to && document_[x + 1] == '\n') {
      out.Put(' ');
      x += 2;
      return false;
    }
    out.Put('\r');
    ++x;
    return true;
  }

  std::string_view document_;
  bool inside_;
};

// What J's blocks from one block of a group on leave, read from outside a tag, as far as a
// limit: a block starts right behind an opening marker, whose ">" always ends any span, so
// each block's part of it is the same in every block of the group that holds it, and the
// parts can be read as one range. A tail cut at its limit fills the output, so no later block
// asks for it.
template <typename K>
class GroupTail {
 public:
  bool Holds(std::size_t g) const { return group_ == g; }

  void Build(const Layout& j, std::size_t g, std::size_t first, std::size_t limit) {
    group_ = g;
    text_.clear();
    Sink sink{&text_, limit};
    SpanReader<K> reader(j.document());
    ends_with_cr_ = reader.Read(j.Start(first), j.End(g), Mode::kStrip, sink);
    inside_after_ = reader.inside();
    cursor_block_ = first;
    cursor_ = 0;
  }

  // Where block t's part begins in the tail. Blocks ask in rising order, so the place moves
  // on by the length of each part passed, counted again rather than stored.
  std::size_t OffsetOf(const Layout& j, std::size_t t) {
    for (; cursor_block_ < t; ++cursor_block_) {
      Sink counter;
      SpanReader<K>(j.document())
          .Read(j.Start(cursor_block_), j.PartEnd(group_, cursor_block_), Mode::kStrip, counter);
      cursor_ += counter.count;
    }
    return cursor_;
  }

  const std::string& text() const { return text_; }
  bool inside_after() const { return inside_after_; }
  bool ends_with_cr() const { return ends_with_cr_; }

 private:
  std::size_t group_ = static_cast<std::size_t>(-1);  // the group it holds, if any
  std::string text_;
  bool inside_after_ = false;  // the reading ends within a span
  bool ends_with_cr_ = false;  // the last byte read was a CR kept unpaired
  std::size_t cursor_block_ = 0;
  std::size_t cursor_ = 0;  // where the part of block cursor_block_ begins in text_
};

// The text of J within its bounds, built left to right into an output of a fixed limit. It
// can be run again once more groups are found: their bounds begin where the earlier ones did
// and have their last ">" at or behind the earlier one, so the output up to that ">" stands
// and the new run goes on from there.
template <typename K>
class NoindexText {
 public:
  NoindexText(const Layout& j, std::size_t max_bytes)
      : j_(j),
        wanted_bytes_(max_bytes),
        // One byte more than wanted: a CR that ends a block changes if the next block begins
        // with an LF, so the last wanted byte is final only once a byte behind it is read.
        out_{&out_text_, max_bytes == kWholeText ? kWholeText : max_bytes + 1},
        reader_(j.document()) {}

  // `joined_length`: that of the blocks' joined contents, which the text never outgrows. A
  // cut text is held at its final size from the start; an uncut one grows as it goes.
  void Run(const Bounds& bounds, std::uint64_t joined_length) {
    if (out_.limit != kWholeText) {
      out_text_.reserve(
          static_cast<std::size_t>(std::min<std::uint64_t>(out_.limit, joined_length)));
    }
    bounds_ = bounds;
    const Resume at = resume_.value_or(Resume{bounds.begin_group, bounds.begin, 0});
    out_text_.resize(at.count);
    out_.count = at.count;
    kept_from_ = kWholeText;
    reader_ = SpanReader<K>(j_.document());
    tail_ = GroupTail<K>{};
    Emit(at);
  }

  // The text, cut to the bytes wanted.
  std::string Take() {
    if (out_text_.size() > wanted_bytes_) out_text_.resize(wanted_bytes_);
    return std::move(out_text_);
  }

  // The output's bytes so far against the most it takes; the share is below 1 until it is full.
  double FilledShare() const {
    return static_cast<double>(out_.count) / static_cast<double>(out_.limit);
  }

  // Whether the output filled up before the bytes kept as they stand: the whole document's
  // text has the same last-">"-free stretch later or not at all, so what was read holds.
  bool FilledBeforeKept() const {
    return out_.full() && (kept_from_ == kWholeText || kept_from_ >= out_.limit);
  }

 private:
  // Where a run begins: a place in J, in its group, and the output's length there.
  struct Resume {
    std::size_t group = 0;
    Place place;
    std::size_t count = 0;
  };

  void Emit(const Resume& at) {
    bool pending_cr = false;
    const std::size_t groups = j_.Groups();
    for (std::size_t g = at.group; g < groups && !out_.full(); ++g) {
      const std::size_t last = j_.Last(g);
      for (std::size_t b = g == at.group ? at.place.block : j_.First(g); b <= last && !out_.full();
           ++b) {
        if (bounds_.stop < Place{b, j_.Start(b)}) return;
        std::size_t from = b == at.place.block ? at.place.offset : j_.Start(b);
        const std::size_t to = b == bounds_.stop.block ? bounds_.stop.offset : j_.End(g);
        if (from == to) continue;
        // A CR that ended the previous block pairs with an LF that starts this one.
        if (pending_cr && j_.document()[from] == '\n') {
          out_text_.back() = ' ';
          ++from;
        }
        pending_cr = ReadBlock(g, b, b == last, from, to);
      }
    }
  }

  bool ReadBlock(std::size_t g, std::size_t b, bool last_of_group, std::size_t from,
                 std::size_t to) {
    const std::optional<Place>& tag_end = bounds_.tag_end;
    if (!tag_end || tag_end->block < b) return ReadKept(from, to);
    if (tag_end->block == b) {
      reader_.Read(from, tag_end->offset + 1, Mode::kStrip, out_);
      // A later run goes on from here, outside any span. When a later block of the group
      // follows, this ">" ends its opening marker (the later blocks hold no ">"), so that
      // run reads on from the start of the next block's part, as a first run does.
      if (!out_.full()) resume_ = Resume{g, {b, tag_end->offset + 1}, out_.count};
      return ReadKept(tag_end->offset + 1, to);
    }
    // Wholly before the last ">": the part up to the next block's start is read, the rest is
    // the group's shared tail from that block on.
    if (last_of_group || bounds_.stop.block == b) return reader_.Read(from, to, Mode::kStrip, out_);
    reader_.Read(from, j_.Start(b + 1), Mode::kStrip, out_);
    const std::size_t room = out_.limit - out_.count;
    if (!tail_.Holds(g)) tail_.Build(j_, g, b + 1, room);
    out_text_.append(tail_.text(), tail_.OffsetOf(j_, b + 1), room);
    out_.count = out_text_.size();
    reader_.set_inside(tail_.inside_after());
    return tail_.ends_with_cr();
  }

  // Behind the last ">", where every byte is kept as it stands.
  bool ReadKept(std::size_t from, std::size_t to) {
    if (kept_from_ == kWholeText) kept_from_ = out_.count;
    return reader_.Read(from, to, Mode::kKeep, out_);
  }

  const Layout& j_;
  Bounds bounds_;
  const std::size_t wanted_bytes_;
  std::string out_text_;
  Sink out_;                            // counts out_text_'s bytes against the limit
  std::size_t kept_from_ = kWholeText;  // the output's length when the kept bytes began
  SpanReader<K> reader_;
  GroupTail<K> tail_;
  std::optional<Resume> resume_;  // behind the last ">" of the last run, if it was reached
};

// The first part of the document that is tried, and how much each next try takes in.
constexpr std::size_t kFirstPart = 1024;
constexpr std::size_t kPartGrowth = 2;

// The part the next try takes in, after a try over `part` bytes whose text filled
// `filled_share` of the output. A text that came at a steady pace fills the output at about
// part / filled_share; an eighth more covers a pace that slows a little. The step is at least
// a quarter of the part, so the tries stay few when the pace keeps slowing, and at most
// kPartGrowth times it, as when nothing is known.
std::size_t NextPart(std::size_t part, double filled_share, std::size_t document_size) {
  const std::size_t doubled =
      part > document_size / kPartGrowth ? document_size : part * kPartGrowth;
  if (filled_share <= 0 || filled_share >= 1) return doubled;
  const double paced = static_cast<double>(part) / filled_share * 1.125;
  const double least = static_cast<double>(part) * 1.25;
  return static_cast<std::size_t>(std::clamp(paced, std::min(least, static_cast<double>(doubled)),
                                             static_cast<double>(doubled)));
}

template <typename K>
std::string ExtractWith(std::string_view document, std::size_t max_bytes) {
  // When only the first bytes are wanted, they often come from the first blocks alone: the
  // groups of a growing first part of the document are tried, each try taking in only the
  // markers of the next part, until the answer is final or the document is all taken in.
  // A try is made only once the joined contents are longer than the bytes wanted, since a
  // shorter text cannot fill them.
  BlockFinder<K> finder(document);
  const Layout j(document, finder.blocks());
  NoindexText<K> text(j, max_bytes);
  std::size_t part = max_bytes == kWholeText ? document.size() : kFirstPart;
  std::size_t nul_free_groups = 0;
  double filled_share = 0;  // of the last try's text, 0 before any
  while (true) {
    finder.ScanTo(part);
    if (finder.done() || finder.joined_length() > max_bytes) {
      // Without a NUL in the part taken in, its groups need no search for one.
      const std::optional<Bounds> bounds =
          FindBounds<K>(j, finder.may_hold_nul() ? nul_free_groups : j.Groups());
      if (!bounds || bounds->empty()) {
        // Empty for good once it ends at a NUL: later groups only add bytes behind it.
        if (finder.done() || (bounds && bounds->stop_is_nul)) return {};
      } else {
        nul_free_groups = bounds->nul_free_groups;
        text.Run(*bounds, finder.joined_length());
        // The first groups' text begins with the whole document's text, as far as it was
        // wanted, when it ends at a NUL (which ends the whole text there too) or filled up
        // before its last ">" (the whole text has that ">" before its end as well).
        if (finder.done() || bounds->stop_is_nul || text.FilledBeforeKept()) return text.Take();
        filled_share = text.FilledShare();
      }
    }
    part = NextPart(part, filled_share, document.size());
  }
}

}  // namespace

std::string ExtractNoindexText(std::string_view document, std::size_t max_bytes) {
  return simd::Dispatch(
      [&](auto kernel) { return ExtractWith<decltype(kernel)>(document, max_bytes); });
}

}  // namespace pagefields
