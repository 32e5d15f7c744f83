#include "extract/meta_content.h"

#include <algorithm>

#include "simd/block_scan.h"
#include "simd/dispatch.h"
#include "text/case_map.h"
#include "text/edit.h"
#include "text/search.h"

// The tag text is never normalised as a copy. Normalising keeps every byte but blanks, CR
// and LF where it is and makes each run of those one blank, so the pattern test, the cut,
// the trims, the "=" and the quotes are all done on the raw tag, and only the value's
// bytes are normalised, as far as they are wanted.
namespace pagefields {
namespace {

// The length of "<meta name=Description": where the value is cut from, for every meta name.
// It is deliberately not recomputed for shorter names; the search for "=" behind it then
// finds the content attribute's.
constexpr std::size_t kFrontCut = 22;

// The bytes that normalising makes a blank; a run of them becomes one blank.
constexpr bool IsSpaceLike(char byte) {
  return byte == ' ' || byte == '\r' || byte == '\n';
}

// No other byte folds to one of them, so a pattern byte that is not one of them matches a
// normalised byte exactly when it matches the raw byte that stands for it.
static_assert([] {
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    if (IsSpaceLike(byte) != IsSpaceLike(static_cast<char>(FoldCase(byte)))) return false;
    if (IsSpaceLike(static_cast<char>(FoldCase(byte))) && FoldCase(byte) != b) return false;
  }
  return true;
}());

template <typename K>
struct SpaceLikeBytes {
  simd::Mask operator()(const char* at) const { return K::AnyOf(K::Load(at), ' ', '\r', '\n'); }
};

template <typename K>
struct OtherBytes {
  simd::Mask operator()(const char* at) const { return ~SpaceLikeBytes<K>{}(at); }
};

// The first position from `at` whose byte is a blank, CR or LF (`space_like`) or is none of
// them (!`space_like`); raw.size() when there is none.
std::size_t FindSpaceLike(std::string_view raw, std::size_t at, bool space_like) {
  return simd::Dispatch([&](auto kernel) {
    using K = decltype(kernel);
    return space_like ? simd::FindFirst(raw, at, raw.size(), SpaceLikeBytes<K>{})
                      : simd::FindFirst(raw, at, raw.size(), OtherBytes<K>{});
  });
}

template <typename K>
std::size_t NormalisedLengthWith(std::string_view raw) {
  // Every byte counts but a blank, CR or LF right behind another.
  std::size_t dropped = 0;
  simd::Mask before = 0;  // the last byte of the block before, as bit 0
  for (std::size_t at = 0; at < raw.size(); at += simd::kBlockSize) {
    const simd::Mask space_like = simd::MaskAt(raw, at, SpaceLikeBytes<K>{});
    dropped += static_cast<std::size_t>(K::Count(space_like & (space_like << 1 | before)));
    before = space_like >> 63;
  }
  return raw.size() - dropped;
}

// Whether the "=" at `equals` is the one of "meta name=" + meta_name (bare or after a quote)
// in the normalised tag: the pattern's only blank, between "meta" and "name", is a run of
// blanks, CR and LF in the raw tag. `meta_name` holds none of those bytes.
bool PatternAround(std::string_view tag, std::size_t equals, std::string_view meta_name) {
  constexpr std::size_t kName = 4;  // "name"
  if (equals < kName || !FoldedEqualAt(tag, equals - kName, "name")) return false;
  std::size_t run = equals - kName;
  while (run > 0 && IsSpaceLike(tag[run - 1])) --run;
  if (run == equals - kName || run < 4 || !FoldedEqualAt(tag, run - 4, "meta")) return false;
  const std::size_t after = equals + 1;
  if (FoldedEqualAt(tag, after, meta_name)) return true;
  return after < tag.size() && (tag[after] == '"' || tag[after] == '\'') &&
         FoldedEqualAt(tag, after + 1, meta_name);
}

// Whether the normalised `tag` holds "meta name=" + meta_name, bare or after a quote.
bool NamesMeta(std::string_view tag, std::string_view meta_name) {
  if (std::any_of(meta_name.begin(), meta_name.end(), IsSpaceLike)) {
    // Not a name in use; tested the literal way.
    const std::string text = NormaliseBlanks(tag);
    const std::string name(meta_name);
    return PosText("meta name=" + name, text, 1) != 0 ||
           PosText("meta name=\"" + name, text, 1) != 0 ||
           PosText("meta name='" + name, text, 1) != 0;
  }
  // Each "=" is looked at once; the blank runs looked through lie before different "name"s,
  // so no byte is read twice by them either.
  for (std::size_t equals = tag.find('='); equals != std::string_view::npos;
       equals = tag.find('=', equals + 1)) {
    if (PatternAround(tag, equals, meta_name)) return true;
  }
  return false;
}

// Where normalised byte `index` of `raw` comes from; raw.size() past the normalised end.
std::size_t RawOffsetOf(std::string_view raw, std::size_t index) {
  std::size_t at = 0;
  for (std::size_t n = 0; n < index && at < raw.size(); ++n) {
    at = IsSpaceLike(raw[at]) ? FindSpaceLike(raw, at, false) : at + 1;
  }
  return at;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The value of a matching tag, taken from the raw tag. A run of blanks, CR and LF is blank
// at both of its ends, so the trims stop at the same bytes as on the normalised tag, and
// the "=" and the quotes are bytes that normalising leaves alone.
std::string_view RawValueOf(std::string_view tag) {
  // Without the closing ">" and the front cut.
  const std::size_t cut = RawOffsetOf(tag, kFrontCut);
  std::string_view value = cut + 1 < tag.size() ? tag.substr(cut, tag.size() - 1 - cut) : "";
  value = Trimmed(value);
  const std::size_t equals = value.find('=');
  if (equals == std::string_view::npos) return value;
  value = Trimmed(value.substr(equals + 1));
  const bool quoted = !value.empty() && value.front() == value.back() &&
                      (value.front() == '"' || value.front() == '\'');
  if (quoted) value = value.size() == 1 ? "" : value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::string_view MetaContentView(std::string_view document, std::string_view meta_name) try {
  int tag = PosText("<meta", document, 1);
  while (tag > 0) {
    const int tag_end = PosStr(">", document, tag);
    if (tag_end == 0) return {};  // no later "<meta" has a ">" behind it either
    const std::string_view tag_text = document.substr(static_cast<std::size_t>(tag) - 1,
                                                      static_cast<std::size_t>(tag_end - tag + 1));
    if (NamesMeta(tag_text, meta_name)) return RawValueOf(tag_text);
    // A later "<meta" before this ">" shares it; its normalised tag text is then part of
    // this one's, so it cannot name the meta either.
    tag = PosText("<meta", document, tag_end);
  }
  return {};
} catch (...) {
  return {};
}

std::string NormaliseBlanks(std::string_view raw, std::size_t limit) {
  std::string text;
  text.reserve(std::min(raw.size(), limit));
  std::size_t at = 0;
  while (at < raw.size() && text.size() < limit) {
    const std::size_t run = FindSpaceLike(raw, at, true);
    text.append(raw.substr(at, std::min(run - at, limit - text.size())));
    if (run == raw.size() || text.size() == limit) break;
    text += ' ';
    at = FindSpaceLike(raw, run, false);
  }
  return text;
}

std::size_t NormalisedLength(std::string_view raw) {
  return simd::Dispatch([&](auto kernel) { return NormalisedLengthWith<decltype(kernel)>(raw); });
}

}  // namespace pagefields
