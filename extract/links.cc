#include "extract/links.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "extract/file_probe.h"
#include "extract/link_kind.h"
#include "platform/file_access.h"
#include "simd/block_scan.h"
#include "simd/dispatch.h"
#include "text/forward_search.h"
#include "text/search.h"

namespace pagefields {
namespace {

using links_internal::KindByLength;
using links_internal::KindOfColons;
using links_internal::KindOfLong;
using links_internal::KindOfShort;
using links_internal::LinkKind;

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsSchemeByte(char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// "javascript:", "ftp:", "tel:" …: a letter, at least one more scheme byte, then ':'. A single
// letter before ':' is a drive, not a scheme.
bool HasUrlScheme(std::string_view value) {
  if (value.empty() || !IsAsciiLetter(value[0])) return false;
  // ':' is no scheme byte, so only the first one can end the scheme.
  const std::size_t colon = value.find(':');
  return colon != std::string_view::npos && colon >= 2 &&
         std::all_of(value.begin() + 1, value.begin() + static_cast<std::ptrdiff_t>(colon),
                     IsSchemeByte);
}

// Whether "href=" in any letter case stands at `at`; its five bytes must be readable.
bool IsHrefAt(const char* at) {
  return links_internal::FourLettersAt(at, "href") && at[4] == '=';
}

// The places the walk looks for: "<a" in any letter case, and single bytes.
template <typename K>
struct AnchorStarts {
  static constexpr std::size_t kReadAhead = 1;  // the letter behind the '<'
  simd::Mask operator()(const char* at) const {
    return K::ToMask(
        K::And(K::EqualLanes(K::Load(at), '<'), K::EqualFoldedLanes(K::Load(at + 1), 'a')));
  }
};

// The places a selector picks, asked for from positions that never decrease.
template <typename Selector>
using Forward = simd::ForwardMatches<Selector::kReadAhead, Selector>;

// A link value as the 0-based range [begin, end) of document bytes.
struct ValueRange {
  std::size_t begin;
  std::size_t end;
};

// An anchor's link: where its "href=" starts, how many anchors share it (those between the
// anchor and the "href=" have the same tag text), and its value and kind. Only internal
// links' values are read, so a web link's may be left empty.
struct Link {
  std::size_t href;
  int sharing;
  ValueRange value;
  LinkKind kind;
};

// The classes of bytes the walk asks about.
// kCut: '#' and '?', which end a value's local part.
enum class ByteClass { kTagEnd, kDoubleQuote, kSingleQuote, kBlank, kColon, kCut, kNul, kCount };

// The bytes of the 64 from `at` that are of each class, each class found at its first
// question and kept, so that the questions about an anchor's tag, value and kind, and about
// the anchors that share its tag, cost a shift and a bit search each.
template <typename K>
class TagWindow {
 public:
  explicit TagWindow(std::size_t at) : at_(at) {}

  std::size_t At() const { return at_; }

  // A window of the bytes from `at`; the text must hold at least 64 bytes there.
  void Open(std::size_t at) {
    at_ = at;
    known_ = 0;
  }

  template <ByteClass kClass>
  simd::Mask Bits(const char* document) {
    constexpr unsigned kBit = 1u << static_cast<unsigned>(kClass);
    if ((known_ & kBit) == 0) {
      known_ |= kBit;
      bits_[static_cast<std::size_t>(kClass)] = Select<kClass>(document + at_);
    }
    return bits_[static_cast<std::size_t>(kClass)];
  }

 private:
  template <ByteClass kClass>
  static simd::Mask Select(const char* at) {
    if constexpr (kClass == ByteClass::kCut) {
      return K::AnyOf(K::Load(at), '#', '?');
    } else {
      constexpr char kByte = kClass == ByteClass::kTagEnd        ? '>'
                             : kClass == ByteClass::kDoubleQuote ? '"'
                             : kClass == ByteClass::kSingleQuote ? '\''
                             : kClass == ByteClass::kBlank       ? ' '
                             : kClass == ByteClass::kColon       ? ':'
                                                                 : '\0';
      return simd::ByteIs<K, kByte>{}(at);
    }
  }

  std::size_t at_;
  unsigned known_ = 0;  // bit c: bits_[c] is found
  simd::Mask bits_[static_cast<std::size_t>(ByteClass::kCount)] = {};
};

// The searches of one walk over the anchors. Every walk position only moves right: anchors,
// their tag texts and their values begin further right each time (a later anchor's first
// "href=" is never before an earlier one's), so each needle is searched through the
// document about once. A question that the 64 bytes read last cannot answer reads the 64 from
// the anchor it is about, once per anchor at most.
template <typename K>
class AnchorWalk {
 public:
  explicit AnchorWalk(std::string_view document)
      : document_(document),
        window_(document.size()),
        anchors_(document, {}),
        tag_ends_(document, {}),
        double_quotes_(document, {}),
        single_quotes_(document, {}),
        blanks_(document, {}),
        long_kinds_(document) {}

  std::size_t End() const { return document_.size(); }

  // The link of the anchor at `anchor`, read from the 64 bytes there, when they show the
  // usual form: "<a", one byte, "href=", and a value that ends among them or opens with a web
  // scheme. The answer is the one TagEnd, HrefOf, ValueOf and KindOf give, but for a web
  // link's value, which is left empty; false for any other form.
  bool ReadUsual(std::size_t anchor, Link& link) {
    constexpr std::size_t kRest = 8;  // "<a href=" comes before the value
    if (End() - anchor < simd::kBlockSize) return false;
    const char* const at = document_.data() + anchor;
    if (!IsHrefAt(at + 3)) return false;
    const typename K::Block block = K::Load(at);
    const char quote = at[kRest];
    const bool quoted = quote == '"' || quote == '\'';
    std::size_t tag_end = 0;  // from the anchor; may lie past the 64 bytes
    if (Nested(anchor)) {
      tag_end = tag_end_after_ - 1 - anchor;  // inside a tag text read before
    } else {
      const simd::Mask tag_ends = K::Equal(block, bytes_.tag_end);
      if (tag_ends == 0) return false;
      tag_end = simd::FirstBit(tag_ends);
      tag_end_after_ = anchor + tag_end + 1;
      // Most anchors open a tag of their own, and most web values open with "http://" or
      // "https://", which makes them web whatever follows. No byte of those ends a value, so
      // they lie in it (with a closing quote or without), and the value's extent is left
      // unread: only internal links are probed.
      if (tag_end >= kRest && links_internal::StartsWithWebScheme(at + kRest + quoted)) {
        link = {anchor + 3, 1, {}, LinkKind::kWeb};
        return true;
      }
    }
    if (tag_end < kRest) return false;  // the ">" stands before the "href="
    // A quoted value ends at its closing quote, any other at a blank; either one only before
    // the ">", and none in the value's first byte. Without one the value runs to the ">".
    const typename K::Block& value_end = !quoted        ? bytes_.blank
                                         : quote == '"' ? bytes_.double_quote
                                                        : bytes_.single_quote;
    const simd::Mask value_ends =
        K::Equal(block, value_end) & simd::LowBits(tag_end) & ~simd::LowBits(kRest + 1);
    if (value_ends != 0) {
      link.value = {anchor + kRest + quoted, anchor + simd::FirstBit(value_ends)};
    } else if (tag_end < simd::kBlockSize) {
      link.value = {anchor + kRest, anchor + tag_end};
    } else {
      return false;  // the value runs past the 64 bytes
    }
    link.href = anchor + 3;
    link.sharing = 1;  // no anchor fits between the anchor and its "href="
    const std::string_view text = Text(link.value);
    if (text.size() < links_internal::kShortestWord) {
      link.kind = *KindByLength(text);  // always known for a value this short
      return true;
    }
    // The value lies among the 64 bytes, so the shift stays below the mask's width.
    const simd::Mask value_bits = (simd::Mask{1} << text.size()) - 1;
    link.kind = KindOfColons(
        text, K::Equal(block, bytes_.colon) >> (link.value.begin - anchor) & value_bits);
    return true;
  }

  // Whether the anchor at `anchor` lies inside the tag text of an anchor before it.
  bool Nested(std::size_t anchor) const { return anchor < tag_end_after_; }

  // Counts the links of the anchors nested in the tag text read last, from the one at
  // `anchor` on, while each shows the usual form with a short unquoted value (see
  // ReadShortNested); returns where the walk goes on: at the first anchor left to the other
  // readings, or behind the blocks read. Anchors nested in one tag can follow each other
  // every few bytes, each in the value of the one before ("<a href=<a href=…"); read from
  // one mask of anchor starts per block, each costs a few word operations.
  std::size_t CountNested(std::size_t anchor, LinkCounts& counts) {
    const std::size_t tag_end = tag_end_after_ - 1;
    LinkKind first = LinkKind::kInternal;
    // An anchor of another form goes to the other readings before any block is read.
    if (End() - anchor < kShortNestedReach || !ReadShortNested(anchor, tag_end, first)) {
      return anchor;
    }
    int web = first == LinkKind::kWeb ? 1 : 0;
    int internal = 1 - web;
    const auto counted_up_to = [&](std::size_t next) {
      counts.WebCount += web;
      counts.InternalCount += internal;
      return next;
    };
    // The walk goes on one byte behind an anchor's "href=", as the blocks do here behind the
    // first; no anchor starts before that: the "a", the byte behind it and the "h" hold no
    // "<a". So every start counts.
    std::size_t block = anchor + 4;
    for (; block < tag_end && End() - block >= simd::kBlockSize + kShortNestedReach;
         block += simd::kBlockSize) {
      for (simd::Mask anchors = AnchorStarts<K>{}(document_.data() + block); anchors != 0;
           anchors &= anchors - 1) {
        const std::size_t at = block + simd::FirstBit(anchors);
        LinkKind kind = LinkKind::kInternal;
        if (!ReadShortNested(at, tag_end, kind)) return counted_up_to(at);
        ++(kind == LinkKind::kWeb ? web : internal);
      }
    }
    return counted_up_to(block);
  }

  // The first anchor that starts at or after `from`, or End().
  std::size_t NextAnchor(std::size_t from) { return anchors_.From(from); }

  // The ">" that ends the tag text of the anchor at `anchor`, or End().
  std::size_t TagEnd(std::size_t anchor) {
    // The last answer stays right up to itself: no ">" lies between the anchor before and it.
    if (anchor < tag_end_after_) return tag_end_after_ - 1;
    const std::size_t tag_end = FirstWithin<ByteClass::kTagEnd>(tag_ends_, anchor, anchor, End());
    tag_end_after_ = tag_end + 1;
    return tag_end;
  }

  // The first "href=" of the tag text that runs from anchor + 1 to tag_end - 1, or End().
  // An "href=" that starts inside it also ends inside it, since the ">" is none of its bytes.
  std::size_t HrefOf(std::size_t anchor, std::size_t tag_end) {
    // Most anchors read "<a href=": the place behind the blank is tried before any search.
    // (The byte behind "<" is an 'a', so "href=" can start no earlier; and it cannot start
    // at both places, so the usual one is tried first.)
    const char* const at = document_.data() + anchor;
    if (tag_end - anchor >= 8 && IsHrefAt(at + 3)) return anchor + 3;
    if (tag_end - anchor >= 7 && IsHrefAt(at + 2)) return anchor + 2;
    return SearchHref(anchor, tag_end);
  }

  // The link value behind the "href=" at `href`, in the tag text of the anchor at `anchor`
  // that ends before `tag_end`.
  ValueRange ValueOf(std::size_t anchor, std::size_t href, std::size_t tag_end) {
    const std::size_t rest = href + 5;  // R, the tag text behind "href=", spans [rest, tag_end)
    if (rest >= tag_end) return {rest, rest};
    const char quote = document_[rest];
    if (quote == '"' || quote == '\'') {
      const std::size_t closing =
          quote == '"'
              ? FirstWithin<ByteClass::kDoubleQuote>(double_quotes_, anchor, rest + 1, tag_end)
              : FirstWithin<ByteClass::kSingleQuote>(single_quotes_, anchor, rest + 1, tag_end);
      return closing != tag_end ? ValueRange{rest + 1, closing} : ValueRange{rest, tag_end};
    }
    // Only a blank ends an unquoted value, and never one in its first byte.
    return {rest, FirstWithin<ByteClass::kBlank>(blanks_, anchor, rest + 1, tag_end)};
  }

  LinkKind KindOf(ValueRange value) {
    const std::string_view text = Text(value);
    if (const std::optional<LinkKind> kind = KindByLength(text)) return *kind;
    // A short value that no earlier one overlapped is read by itself, once over its bytes;
    // that costs at most the document's length over the whole walk.
    if (text.size() <= ForwardSearch::kShortRange && value.begin >= classified_to_) {
      classified_to_ = value.end;
      if (InWindow(value.begin) && value.end - window_.At() <= simd::kBlockSize) {
        const simd::Mask colons = Bits<ByteClass::kColon>() >> (value.begin - window_.At());
        return KindOfColons(text, colons & simd::LowBits(text.size()));
      }
      return KindOfShort<K>(document_, value.begin, value.end);
    }
    return KindOfLongWay(value);
  }

  // The value without its fragment and query: up to the first '#' or '?'. This and
  // QueriedLength go by ForwardSearch, which searches a short range by itself, so a probe
  // that stops at the first missing target never reads to the end of the text for a byte
  // that is rare there. A value inside the window is read from it.
  ValueRange LocalPart(ValueRange value) {
    ValueRange local = value;
    if (const std::optional<simd::Mask> cuts = WindowBitsOf<ByteClass::kCut>(value)) {
      if (*cuts != 0) local.end = value.begin + simd::FirstBit(*cuts);
      return local;
    }
    for (ForwardSearch* cut : {&hashes_, &questions_}) {
      const int at = cut->Within(Position(value.begin), Position(value.end));
      if (at != 0) local.end = std::min(local.end, static_cast<std::size_t>(at) - 1);
    }
    return local;
  }

  // Bytes of the value that a NUL-terminated path query sees.
  int QueriedLength(ValueRange value) {
    if (const std::optional<simd::Mask> nuls = WindowBitsOf<ByteClass::kNul>(value)) {
      return static_cast<int>(*nuls != 0 ? simd::FirstBit(*nuls) : value.end - value.begin);
    }
    const int nul = nuls_.Within(Position(value.begin), Position(value.end));
    return nul != 0 ? nul - Position(value.begin) : static_cast<int>(value.end - value.begin);
  }

  // The anchors that start after `after` and before `before`.
  int AnchorsBetween(std::size_t after, std::size_t before) {
    // Two bytes or less, the first of them the 'a' behind "<", hold no anchor; usually they
    // are just the "a " of "<a href=".
    if (before - after <= 3) return 0;
    const std::string_view between = document_.substr(after + 1, before - after - 1);
    if (between.size() <= 8 && between.find('<') == std::string_view::npos) return 0;
    return CountText("<a", between);
  }

  std::string_view Text(ValueRange value) const {
    // The range lies inside the document: no bounds check.
    return {document_.data() + value.begin, value.end - value.begin};
  }

 private:
  // Whether `at` lies in the window; before the first window opens, no position of the
  // document does.
  bool InWindow(std::size_t at) const { return at - window_.At() < simd::kBlockSize; }

  template <ByteClass kClass>
  simd::Mask Bits() {
    return window_.template Bits<kClass>(document_.data());
  }

  // The bytes of a class in `value` (bit i for its byte i), when the window holds all of it.
  template <ByteClass kClass>
  std::optional<simd::Mask> WindowBitsOf(ValueRange value) {
    if (!InWindow(value.begin) || value.end - window_.At() > simd::kBlockSize) return {};
    return (Bits<kClass>() >> (value.begin - window_.At())) &
           simd::LowBits(value.end - value.begin);
  }

  // The first byte of a class in [begin, end), or end, for a question about the tag of the
  // anchor at `anchor`: from the window where it decides; where it does not, and the window
  // does not start at that anchor, from a window there; else from the stream of the class's
  // places.
  template <ByteClass kClass, typename Stream>
  std::size_t FirstWithin(Stream& stream, std::size_t anchor, std::size_t begin, std::size_t end) {
    std::size_t found = 0;
    if (WindowDecides<kClass>(begin, end, found)) return found;
    if (anchor != window_.At() && End() - anchor >= simd::kBlockSize) {
      window_.Open(anchor);
      if (WindowDecides<kClass>(begin, end, found)) return found;
    }
    return stream.Within(begin, end);
  }

  // Whether the window holds the answer to FirstWithin's question, and then puts it in `found`.
  template <ByteClass kClass>
  bool WindowDecides(std::size_t begin, std::size_t end, std::size_t& found) {
    if (!InWindow(begin)) return false;
    const simd::Mask later = Bits<kClass>() >> (begin - window_.At());
    if (later != 0) {
      found = std::min(begin + simd::FirstBit(later), end);
      return true;
    }
    found = end;
    return end - window_.At() <= simd::kBlockSize;
  }

  // Bytes from an anchor that ReadShortNested reads.
  static constexpr std::size_t kShortNestedReach = 16;

  // The kind of the link of an anchor nested in a tag text that ends at `tag_end`, when it
  // shows "<a", one byte, "href=" and an unquoted value of fewer than seven bytes, which
  // KindByLength decides: the answer TagEnd, HrefOf, ValueOf and KindOf give. False for any
  // other form; then `kind` is left as it was.
  bool ReadShortNested(std::size_t anchor, std::size_t tag_end, LinkKind& kind) const {
    constexpr std::size_t kRest = 8;             // "<a href=" comes before the value
    if (tag_end < anchor + kRest) return false;  // also an anchor past the ">"
    const char* const at = document_.data() + anchor;
    if (!IsHrefAt(at + 3) || at[kRest] == '"' || at[kRest] == '\'') return false;
    std::size_t length = links_internal::BlankAmongBytesOneToSix(at + kRest);
    if (length == 0) length = links_internal::kShortestWord;
    length = std::min(length, tag_end - anchor - kRest);  // the ">" ends the value too
    if (length >= links_internal::kShortestWord) return false;
    kind = *KindByLength({at + kRest, length});
    return true;
  }

  // The searches behind the shortcuts of HrefOf and KindOf, which most anchors never need;
  // kept out of line so that the walk's loop stays small.
  [[gnu::noinline]] std::size_t SearchHref(std::size_t anchor, std::size_t tag_end) {
    const int at = hrefs_.Within(Position(anchor) + 1, Position(tag_end));
    return at != 0 ? static_cast<std::size_t>(at) - 1 : End();
  }

  [[gnu::noinline]] LinkKind KindOfLongWay(ValueRange value) {
    return long_kinds_.Of(value.begin, value.end);
  }

  // 1-based position in the document, as ForwardSearch counts.
  static int Position(std::size_t at) { return static_cast<int>(at) + 1; }

  // What ReadUsual compares the 64 bytes from an anchor with, made once for the walk.
  struct UsualBytes {
    typename K::Block tag_end = K::Splat('>');
    typename K::Block blank = K::Splat(' ');
    typename K::Block double_quote = K::Splat('"');
    typename K::Block single_quote = K::Splat('\'');
    typename K::Block colon = K::Splat(':');
  };

  const UsualBytes bytes_;
  std::string_view document_;
  std::size_t classified_to_ = 0;  // end of the last value that KindOfShort read
  std::size_t tag_end_after_ = 0;  // one past the last tag end found; 0 before the first
  TagWindow<K> window_;  // before the first opens, at End(): no position of the text is in it
  Forward<AnchorStarts<K>> anchors_;
  Forward<simd::ByteIs<K, '>'>> tag_ends_;
  Forward<simd::ByteIs<K, '"'>> double_quotes_;
  Forward<simd::ByteIs<K, '\''>> single_quotes_;
  Forward<simd::ByteIs<K, ' '>> blanks_;
  KindOfLong long_kinds_;
  ForwardSearch hashes_{"#", document_, PosStr};
  ForwardSearch questions_{"?", document_, PosStr};
  ForwardSearch nuls_{std::string_view("\0", 1), document_, PosStr};
  ForwardSearch hrefs_{"href=", document_, PosText};
};

// Probes local file targets, remembering the ones found so a repeated link costs nothing.
class TargetProbe {
 public:
  TargetProbe(std::string_view folder, const TargetCheck& exists)
      : folder_(folder), exists_(exists) {}

  // Out of line: the file system's answer costs far more than a call.
  [[gnu::noinline]] bool IsMissing(std::string_view local, int queried_length) {
    // No file system can resolve a longer path, so the query would fail.
    if (folder_.size() + static_cast<std::size_t>(queried_length) >
        platform::kLongestQueryablePath) {
      return true;
    }
    if (existing_.contains(local)) return false;
    if (!exists_(std::string(folder_) + std::string(local))) return true;
    existing_.insert(local);
    return false;
  }

 private:
  std::string_view folder_;
  const TargetCheck& exists_;
  std::unordered_set<std::string_view> existing_;
};

// The walk over the anchors, on kernel K, and its counts; `probing` asks for the broken-link
// probe.
template <typename K>
LinkCounts WalkLinks(std::string_view folder, std::string_view document, std::string& broken_link,
                     const ProbeOptions& options, bool probing) {
  LinkCounts counts;
  AnchorWalk<K> walk(document);
  TargetProbe probe(folder, options.exists);
  for (std::size_t from = 0;;) {
    const std::size_t anchor = walk.NextAnchor(from);
    if (anchor == walk.End()) return counts;
    // Counting only, the anchors nested in a tag are taken many at a time.
    if (!probing && walk.Nested(anchor)) {
      const std::size_t next = walk.CountNested(anchor, counts);
      if (next != anchor) {
        from = next;
        continue;
      }
    }
    Link link;
    if (!walk.ReadUsual(anchor, link)) {
      const std::size_t tag_end = walk.TagEnd(anchor);
      if (tag_end == walk.End()) return counts;  // no later anchor has a ">" behind it either
      link.href = walk.HrefOf(anchor, tag_end);
      if (link.href == walk.End()) {
        // The later anchors of this tag text see only the rest of it, with no "href=" either.
        from = tag_end + 1;
        continue;
      }
      // The anchors before the "href=" share the tag end and the "href=", so their value too.
      link.sharing = 1 + walk.AnchorsBetween(anchor, link.href);
      link.value = walk.ValueOf(anchor, link.href, tag_end);
      link.kind = walk.KindOf(link.value);
    }
    const auto [href, sharing, value, kind] = link;
    from = href + 1;
    if (kind == LinkKind::kWeb) {
      counts.WebCount += sharing;
    } else if (kind == LinkKind::kMail) {
      counts.MailCount += sharing;
    } else {
      counts.InternalCount += sharing;
      if (!probing) continue;
      const ValueRange local = walk.LocalPart(value);
      const std::string_view local_text = walk.Text(local);
      // An empty local part is the page itself; a scheme names no local file.
      if (local_text.empty() || HasUrlScheme(local_text)) continue;
      if (!probe.IsMissing(local_text, walk.QueriedLength(local))) continue;
      if (broken_link.empty()) broken_link = local_text;
      if (options.every_missing) {
        // Anchors that share the value are links of their own, each missing alike.
        for (int i = 0; i < sharing; ++i) {
          if (!options.every_missing({walk.Text(value), local_text})) return counts;
        }
        continue;
      }
      if (!options.count_all) return counts;
      probing = false;
    }
  }
}

}  // namespace

void ScanLinks(std::string_view folder, std::string_view document, LinkCounts& counts,
               std::string& broken_link, const ProbeOptions& options) {
  broken_link.clear();
  counts = {};  // what a walk ended by running out of memory leaves
  // The walk counts in a value of its own, which the compiler can keep in registers.
  counts = simd::Dispatch([&](auto kernel) {
    return WalkLinks<decltype(kernel)>(folder, document, broken_link, options, options.probe);
  });
}

}  // namespace pagefields
