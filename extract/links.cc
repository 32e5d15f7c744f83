#include "extract/links.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "extract/file_probe.h"
#include "platform/file_access.h"
#include "text/forward_search.h"
#include "text/search.h"

namespace pagefields {
namespace {

enum class LinkKind { kWeb, kMail, kInternal };

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

// The first kByte in [at, end), or end. Reads 16 bytes at a time while they stay below
// `limit` (at least end), so a short range inside a longer text still goes by blocks.
template <char kByte>
const char* FindByteIn(const char* at, const char* end, [[maybe_unused]] const char* limit) {
#if defined(__SSE2__)
  for (; at < end && limit - at >= 16; at += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const auto hits =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(kByte))));
    if (hits != 0) return std::min(at + std::countr_zero(hits), end);
  }
#endif
  while (at < end && *at != kByte) ++at;
  return std::min(at, end);
}

// Whether `byte` folds to the capital of the ASCII small letter `small`. An ASCII letter
// folds only with its bit-5 partner and nothing else folds to ASCII (see case_map.h), so
// setting bit 5 maps exactly the two bytes of that letter to `small`.
constexpr bool FoldsToLetter(char byte, char small) {
  return (byte | 0x20) == small;
}

// Whether the ASCII small letters `word` stand at `at` in any letter case; the bytes there
// must be readable.
bool LettersAt(const char* at, std::string_view word) {
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (!FoldsToLetter(at[i], word[i])) return false;
  }
  return true;
}

#if defined(__SSE2__)
// Bit i is set when "<a" in any letter case starts at at + i; reads at .. at + 16.
unsigned AnchorBits(const char* at) {
  const __m128i firsts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i seconds = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
  const __m128i both =
      _mm_and_si128(_mm_cmpeq_epi8(firsts, _mm_set1_epi8('<')),
                    _mm_cmpeq_epi8(_mm_or_si128(seconds, _mm_set1_epi8(0x20)), _mm_set1_epi8('a')));
  return static_cast<unsigned>(_mm_movemask_epi8(both));
}
#endif

// The places one search found in the last block it read, as bits: bit i stands for
// block + i, for the places before `covered`. A later question inside that block is
// answered from the bits instead of a second read.
struct KeptBlock {
  const char* block = nullptr;
  const char* covered = nullptr;
  unsigned bits = 0;

  // Keeps `found` for the `places` places from `at`, and gives the first of them.
  const char* Keep(const char* at, int places, unsigned found) {
    block = at;
    covered = at + places;
    bits = found;
    return at + std::countr_zero(found);
  }

  // The first kept place at or after `at`, which lies in [block, covered); nullptr if none.
  const char* After(const char* at) const {
    const auto skipped = static_cast<unsigned>(at - block);
    const unsigned later = bits >> skipped << skipped;
    return later != 0 ? block + std::countr_zero(later) : nullptr;
  }
};

// The anchors ("<a" in any letter case) of a text, asked for from starts that only move
// right. The anchors of the last block read are kept as bits, so an anchor close behind the
// one before costs a few bit operations instead of another read: the walk's next question
// waits on this answer, so its delay counts more than its instructions.
class AnchorScan {
 public:
  AnchorScan(const char* begin, const char* end) : kept_{begin, begin}, end_(end) {}

  // The first anchor at or after `from`, or the end of the text; `from` is past the last
  // answer, or the text's beginning at first.
  const char* Next(const char* from) {
    if (from < kept_.covered) {
      if (const char* anchor = kept_.After(from)) return anchor;
      from = kept_.covered;
    }
    return Read(from);
  }

 private:
  const char* Read(const char* at) {
#if defined(__SSE2__)
    // Sixteen starts at a time; the last start's second byte is read too.
    for (; end_ - at >= 17; at += 16) {
      const unsigned hits = AnchorBits(at);
      if (hits != 0) return kept_.Keep(at, 16, hits);
    }
#endif
    for (; end_ - at >= 2; ++at) {
      if (at[0] == '<' && FoldsToLetter(at[1], 'a')) return kept_.Keep(at, 1, 1);
    }
    return end_;
  }

  KeptBlock kept_;  // the anchor starts of the last block read
  const char* end_;
};

// Whether "href=" in any letter case stands at `at`; its five bytes must be readable.
bool IsHrefAt(const char* at) {
  // Four letters at once: setting bit 5 in each byte folds each as FoldsToLetter does.
  std::uint32_t word = 0;
  std::uint32_t href = 0;
  std::memcpy(&word, at, 4);
  std::memcpy(&href, "href", 4);
  return (word | 0x20202020u) == href && at[4] == '=';
}

// The next kByte at or after a position that never decreases from one question to the
// next. The last answer stays right for every later start up to it, so the walk as a whole
// reads the text once for this byte; and the other kByte places of the block that answer
// came from are kept as bits, so a next answer close behind it costs no second read.
template <char kByte>
class NextByte {
 public:
  explicit NextByte(const char* end) : end_(end) {}

  // The first kByte at or after `at`, or the end of the text.
  const char* From(const char* at) {
    if (found_ != nullptr) {
      if (at <= found_) return found_;
      // Past the last answer: the rest of its block first.
      if (at < kept_.covered) {
        if (const char* later = kept_.After(at)) return found_ = later;
        at = kept_.covered;
      }
    }
    return found_ = Read(at);
  }

  // The first kByte in [begin, end), or end.
  const char* Within(const char* begin, const char* end) { return std::min(From(begin), end); }

 private:
  const char* Read(const char* at) {
#if defined(__SSE2__)
    for (; end_ - at >= 16; at += 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const auto hits =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(kByte))));
      if (hits != 0) return kept_.Keep(at, 16, hits);
    }
#endif
    for (; at < end_; ++at) {
      if (*at == kByte) return kept_.Keep(at, 1, 1);
    }
    return end_;
  }

  const char* end_;
  const char* found_ = nullptr;  // the last answer; none before the first question
  KeptBlock kept_;               // the kByte places of the block the last answer came from
};

// A link value as the range [begin, end) of document bytes.
struct ValueRange {
  const char* begin;
  const char* end;

  std::string_view Text() const { return {begin, static_cast<std::size_t>(end - begin)}; }
};

// The searches of one walk over the anchors. Every walk position only moves right: anchors,
// their tag texts and their values begin further right each time (a later anchor's first
// "href=" is never before an earlier one's), so each needle is searched through the
// document about once (see AnchorScan, NextByte and ForwardSearch).
class AnchorWalk {
 public:
  explicit AnchorWalk(std::string_view document)
      : document_(document),
        end_(document.data() + document.size()),
        classified_to_(document.data()) {}

  const char* End() const { return end_; }

  // The first anchor that starts at or after `from`, or End(). Each answer lies before the
  // next question's start, so no byte is read twice.
  const char* NextAnchor(const char* from) { return anchors_.Next(from); }

  // The ">" that ends the tag text of the anchor at `anchor`, or End().
  const char* TagEnd(const char* anchor) { return tag_ends_.From(anchor); }

  // The first "href=" of the tag text that runs from anchor + 1 to tag_end - 1, or nullptr.
  // An "href=" that starts inside it also ends inside it, since the ">" is none of its bytes.
  const char* HrefOf(const char* anchor, const char* tag_end) {
    // Most anchors read "<a href=": the place behind the blank is tried before any search.
    // (The byte behind "<" is an 'a', so "href=" can start no earlier; and it cannot start
    // at both places, so the usual one is tried first.)
    if (tag_end - anchor >= 8 && IsHrefAt(anchor + 3)) return anchor + 3;
    if (tag_end - anchor >= 7 && IsHrefAt(anchor + 2)) return anchor + 2;
    return SearchHref(anchor, tag_end);
  }

  // The link value behind the "href=" at `href`, in a tag text that ends before `tag_end`.
  ValueRange ValueOf(const char* href, const char* tag_end) {
    const char* const rest = href + 5;  // R, the tag text behind "href=", spans [rest, tag_end)
    if (rest >= tag_end) return {rest, rest};
    if (*rest == '"' || *rest == '\'') {
      const char* const closing = *rest == '"' ? double_quotes_.Within(rest + 1, tag_end)
                                               : single_quotes_.Within(rest + 1, tag_end);
      return closing != tag_end ? ValueRange{rest + 1, closing} : ValueRange{rest, tag_end};
    }
    // Only a blank ends an unquoted value, and never one in its first byte.
    return {rest, blanks_.Within(rest + 1, tag_end)};
  }

  LinkKind KindOf(ValueRange value) {
    // A short value that no earlier one overlapped is read by itself, once over its bytes;
    // that costs at most the document's length over the whole walk.
    if (value.end - value.begin <= ForwardSearch::kShortRange && value.begin >= classified_to_) {
      classified_to_ = value.end;
      return KindOfShort(value);
    }
    return KindOfLong(value);
  }

  // The searches behind the shortcuts of HrefOf and KindOf, which most anchors never need;
  // kept out of line so that the walk's loop stays small.
  [[gnu::noinline]] const char* SearchHref(const char* anchor, const char* tag_end) {
    const int at = hrefs_.Within(Position(anchor) + 1, Position(tag_end));
    return at != 0 ? document_.data() + at - 1 : nullptr;
  }

  [[gnu::noinline]] LinkKind KindOfLong(ValueRange value) {
    const int begin = Position(value.begin);
    const int end = Position(value.end);
    if (http_.Within(begin, end) != 0 || https_.Within(begin, end) != 0 ||
        value.Text().starts_with("//")) {
      return LinkKind::kWeb;
    }
    if (mailto_.Within(begin, end) != 0) return LinkKind::kMail;
    return LinkKind::kInternal;
  }

  // The value without its fragment and query: up to the first '#' or '?'. This and
  // QueriedLength go by ForwardSearch, which searches a short range by itself, so a probe
  // that stops at the first missing target never reads to the end of the text for a byte
  // that is rare there.
  ValueRange LocalPart(ValueRange value) {
    ValueRange local = value;
    for (ForwardSearch* cut : {&hashes_, &questions_}) {
      const int at = cut->Within(Position(value.begin), Position(value.end));
      if (at != 0) local.end = std::min(local.end, document_.data() + at - 1);
    }
    return local;
  }

  // Bytes of the value that a NUL-terminated path query sees.
  int QueriedLength(ValueRange value) {
    const int nul = nuls_.Within(Position(value.begin), Position(value.end));
    return nul != 0 ? nul - Position(value.begin) : static_cast<int>(value.end - value.begin);
  }

  // The anchors that start after `after` and before `before`.
  int AnchorsBetween(const char* after, const char* before) {
    // Two bytes or less, the first of them the 'a' behind "<", hold no anchor; usually they
    // are just the "a " of "<a href=".
    if (before - after <= 3) return 0;
    const std::string_view between(after + 1, static_cast<std::size_t>(before - after - 1));
    if (between.size() <= 8 && between.find('<') == std::string_view::npos) return 0;
    return CountText("<a", between);
  }

 private:
  // Two bytes compared as they stand: starts_with() costs more than the rest of a short
  // value's reading.
  static bool StartsWithSlashes(ValueRange value) {
    return value.end - value.begin >= 2 && value.begin[0] == '/' && value.begin[1] == '/';
  }

  // 1-based position in the document, as ForwardSearch counts.
  int Position(const char* at) const { return static_cast<int>(at - document_.data()) + 1; }

  // The same tests as the long way, in the same order: web before mail before internal. Each
  // of "http://", "https://" and "mailto:" has its ':' at a fixed place, and ':' and '/'
  // fold only with themselves, so only the places around each ':' are compared.
  LinkKind KindOfShort(ValueRange range) {
    const std::string_view value = range.Text();
    if (StartsWithSlashes(range)) return LinkKind::kWeb;
    // "http://", "https://" and "mailto:" all need seven bytes.
    if (value.size() < 7) return LinkKind::kInternal;
    bool mail = false;
    for (const char* at = FindByteIn<':'>(range.begin, range.end, end_); at != range.end;
         at = FindByteIn<':'>(at + 1, range.end, end_)) {
      const auto colon = static_cast<std::size_t>(at - range.begin);
      const bool slashes = value.substr(colon + 1, 2) == "//";
      if (slashes && ((colon >= 4 && LettersAt(at - 4, "http")) ||
                      (colon >= 5 && LettersAt(at - 5, "https")))) {
        return LinkKind::kWeb;
      }
      mail = mail || (colon >= 6 && LettersAt(at - 6, "mailto"));
    }
    return mail ? LinkKind::kMail : LinkKind::kInternal;
  }

  std::string_view document_;
  const char* end_;
  const char* classified_to_;  // end of the last value that KindOfShort read
  AnchorScan anchors_{document_.data(), end_};
  NextByte<'>'> tag_ends_{end_};
  NextByte<'"'> double_quotes_{end_};
  NextByte<'\''> single_quotes_{end_};
  NextByte<' '> blanks_{end_};
  ForwardSearch hashes_{"#", document_, PosStr};
  ForwardSearch questions_{"?", document_, PosStr};
  ForwardSearch nuls_{std::string_view("\0", 1), document_, PosStr};
  ForwardSearch hrefs_{"href=", document_, PosText};
  ForwardSearch http_{"http://", document_, PosText};
  ForwardSearch https_{"https://", document_, PosText};
  ForwardSearch mailto_{"mailto:", document_, PosText};
};

// Probes local file targets, remembering the ones found so a repeated link costs nothing.
class TargetProbe {
 public:
  TargetProbe(std::string_view folder, const TargetCheck& exists)
      : folder_(folder), exists_(exists) {}

  bool IsMissing(std::string_view local, int queried_length) {
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

}  // namespace

void ScanLinks(std::string_view folder, std::string_view document, LinkCounts& counts,
               std::string& broken_link, const ProbeOptions& options) {
  broken_link.clear();
  counts.WebCount = 0;
  bool probing = options.probe;
  counts.InternalCount = 0;
  counts.MailCount = 0;

  AnchorWalk walk(document);
  TargetProbe probe(folder, options.exists);
  for (const char* from = document.data();;) {
    const char* const anchor = walk.NextAnchor(from);
    if (anchor == walk.End()) return;
    const char* const tag_end = walk.TagEnd(anchor);
    if (tag_end == walk.End()) return;  // no later anchor has a ">" behind it either
    const char* const href = walk.HrefOf(anchor, tag_end);
    if (href == nullptr) {
      // The later anchors of this tag text see only the rest of it, with no "href=" either.
      from = tag_end + 1;
      continue;
    }
    // The anchors before the "href=" share the tag end and the "href=", so their value too.
    const int sharing = 1 + walk.AnchorsBetween(anchor, href);
    const ValueRange value = walk.ValueOf(href, tag_end);
    const LinkKind kind = walk.KindOf(value);
    from = href + 1;
    if (kind == LinkKind::kWeb) {
      counts.WebCount += sharing;
    } else if (kind == LinkKind::kMail) {
      counts.MailCount += sharing;
    } else {
      counts.InternalCount += sharing;
      if (!probing) continue;
      const ValueRange local = walk.LocalPart(value);
      const std::string_view local_text = local.Text();
      // An empty local part is the page itself; a scheme names no local file.
      if (local_text.empty() || HasUrlScheme(local_text)) continue;
      if (!probe.IsMissing(local_text, walk.QueriedLength(local))) continue;
      if (broken_link.empty()) broken_link = local_text;
      if (options.every_missing) {
        // Anchors that share the value are links of their own, each missing alike.
        for (int i = 0; i < sharing; ++i) {
          if (!options.every_missing({value.Text(), local_text})) return;
        }
        continue;
      }
      if (!options.count_all) return;
      probing = false;
    }
  }
}

}  // namespace pagefields
