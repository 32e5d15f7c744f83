#include "extract/links.h"

#include <algorithm>
#include <unordered_set>

#include "extract/file_probe.h"
#include "platform/file_access.h"
#include "text/case_map.h"
#include "text/forward_search.h"
#include "text/search.h"

namespace pagefields {
namespace {

enum class LinkKind { kWeb, kMail, kInternal };

// A link value as the half-open range [begin, end) of 1-based document positions.
struct ValueRange {
  int begin = 0;
  int end = 0;
};

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

// The searches of one walk over the anchors. Every walk position only moves right: anchors,
// their tag texts and their values begin further right each time (a later anchor's first
// "href=" is never before an earlier one's), so each needle is searched through the
// document about once (see ForwardSearch).
class AnchorWalk {
 public:
  explicit AnchorWalk(std::string_view document) : document_(document) {}

  std::string_view Slice(ValueRange range) const {
    return document_.substr(static_cast<std::size_t>(range.begin) - 1,
                            static_cast<std::size_t>(range.end - range.begin));
  }

  // The ">" that ends the tag text of the anchor at `anchor`, or 0.
  int TagEnd(int anchor) { return tag_ends_.From(anchor); }

  // The first "href=" of the tag text that runs from anchor + 1 to tag_end - 1, or 0. An
  // "href=" that starts inside it also ends inside it, since the ">" is none of its bytes.
  int HrefOf(int anchor, int tag_end) {
    // Most anchors read "<a href=": the first three places are tried before any search.
    for (int at = anchor + 1; at <= anchor + 3; ++at) {
      if (at + 5 <= tag_end &&
          FoldedEqualAt(document_, static_cast<std::size_t>(at) - 1, "HREF=")) {
        return at;
      }
    }
    return hrefs_.Within(anchor + 1, tag_end);
  }

  // The link value behind the "href=" at `href`, in a tag text that ends before `tag_end`.
  ValueRange ValueOf(int href, int tag_end) {
    const int rest = href + 5;  // R, the tag text behind "href=", spans [rest, tag_end)
    if (rest >= tag_end) return {rest, rest};
    const char first = document_[static_cast<std::size_t>(rest) - 1];
    if (first == '"' || first == '\'') {
      const int closing =
          (first == '"' ? double_quotes_ : single_quotes_).Within(rest + 1, tag_end);
      return closing != 0 ? ValueRange{rest + 1, closing} : ValueRange{rest, tag_end};
    }
    // Only a blank ends an unquoted value, and never one in its first byte.
    const int blank = blanks_.Within(rest + 1, tag_end);
    return {rest, blank != 0 ? blank : tag_end};
  }

  LinkKind KindOf(ValueRange value) {
    // A short value that no earlier one overlapped is read by itself, once over its bytes;
    // that costs at most the document's length over the whole walk.
    if (value.end - value.begin <= ForwardSearch::kShortRange && value.begin >= classified_to_) {
      classified_to_ = value.end;
      return KindOfShort(Slice(value));
    }
    if (http_.Within(value.begin, value.end) != 0 || https_.Within(value.begin, value.end) != 0 ||
        Slice(value).starts_with("//")) {
      return LinkKind::kWeb;
    }
    if (mailto_.Within(value.begin, value.end) != 0) return LinkKind::kMail;
    return LinkKind::kInternal;
  }

  // The value without its fragment and query: up to the first '#' or '?'.
  ValueRange LocalPart(ValueRange value) {
    ValueRange local = value;
    for (ForwardSearch* cut : {&hashes_, &questions_}) {
      const int at = cut->Within(value.begin, value.end);
      if (at != 0 && at < local.end) local.end = at;
    }
    return local;
  }

  // Bytes of the value that a NUL-terminated path query sees.
  int QueriedLength(ValueRange value) {
    const int nul = nuls_.Within(value.begin, value.end);
    return (nul != 0 ? nul : value.end) - value.begin;
  }

  int NextAnchor(int after) { return anchors_.From(after + 1); }

  // The anchors that start after `after` and before `before`.
  int AnchorsBetween(int after, int before) {
    const std::string_view between = Slice({after + 1, before});
    // Usually just the "a " of "<a href=", which holds no "<".
    if (between.size() <= 8 && between.find('<') == std::string_view::npos) return 0;
    return CountText("<a", between);
  }

 private:
  // The same tests as the long way, in the same order: web before mail before internal. Each
  // of "http://", "https://" and "mailto:" has its ':' at a fixed place, and ':' and '/'
  // fold only with themselves, so only the places around each ':' are compared.
  static LinkKind KindOfShort(std::string_view value) {
    if (value.starts_with("//")) return LinkKind::kWeb;
    bool mail = false;
    for (std::size_t colon = value.find(':'); colon != std::string_view::npos;
         colon = value.find(':', colon + 1)) {
      const bool slashes = value.substr(colon + 1, 2) == "//";
      if (slashes && ((colon >= 4 && FoldedEqualAt(value, colon - 4, "HTTP")) ||
                      (colon >= 5 && FoldedEqualAt(value, colon - 5, "HTTPS")))) {
        return LinkKind::kWeb;
      }
      mail = mail || (colon >= 6 && FoldedEqualAt(value, colon - 6, "MAILTO"));
    }
    return mail ? LinkKind::kMail : LinkKind::kInternal;
  }

  std::string_view document_;
  int classified_to_ = 0;  // end of the last value that KindOfShort read
  ForwardSearch anchors_{"<a", document_, PosText};
  ForwardSearch tag_ends_{">", document_, PosStr};
  ForwardSearch hrefs_{"href=", document_, PosText};
  ForwardSearch double_quotes_{"\"", document_, PosStr};
  ForwardSearch single_quotes_{"'", document_, PosStr};
  ForwardSearch blanks_{" ", document_, PosStr};
  ForwardSearch http_{"http://", document_, PosText};
  ForwardSearch https_{"https://", document_, PosText};
  ForwardSearch mailto_{"mailto:", document_, PosText};
  ForwardSearch hashes_{"#", document_, PosStr};
  ForwardSearch questions_{"?", document_, PosStr};
  ForwardSearch nuls_{std::string_view("\0", 1), document_, PosStr};
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
  bool probing = counts.InternalCount == kProbeBrokenLinks;
  counts.InternalCount = 0;
  counts.MailCount = 0;

  AnchorWalk walk(document);
  TargetProbe probe(folder, options.exists);
  int anchor = walk.NextAnchor(0);
  while (anchor > 0) {
    const int tag_end = walk.TagEnd(anchor);
    if (tag_end == 0) return;  // no later anchor has a ">" behind it either
    const int href = walk.HrefOf(anchor, tag_end);
    if (href == 0) {
      // The later anchors of this tag text see only the rest of it, with no "href=" either.
      anchor = walk.NextAnchor(tag_end);
      continue;
    }
    // The anchors before the "href=" share the tag end and the "href=", so their value too.
    const int sharing = 1 + walk.AnchorsBetween(anchor, href);
    const ValueRange value = walk.ValueOf(href, tag_end);
    const LinkKind kind = walk.KindOf(value);
    anchor = walk.NextAnchor(href);
    if (kind == LinkKind::kWeb) {
      counts.WebCount += sharing;
    } else if (kind == LinkKind::kMail) {
      counts.MailCount += sharing;
    } else {
      counts.InternalCount += sharing;
      if (!probing) continue;
      const ValueRange local = walk.LocalPart(value);
      const std::string_view local_text = walk.Slice(local);
      // An empty local part is the page itself; a scheme names no local file.
      if (local_text.empty() || HasUrlScheme(local_text)) continue;
      if (probe.IsMissing(local_text, walk.QueriedLength(local))) {
        broken_link = local_text;
        if (!options.count_all) return;
        probing = false;
      }
    }
  }
}

}  // namespace pagefields
