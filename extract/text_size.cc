#include "extract/text_size.h"

#include <string>

#include "extract/byte_scan.h"
#include "text/case_map.h"
#include "text/edit.h"

namespace pagefields {
namespace {

// "<p>" and "<br>" (any case) become CR LF before the tags are stripped. Neither can overlap
// itself or the other, and CR LF makes neither, so every occurrence is replaced.
std::size_t BreakTagLength(std::string_view text, std::size_t at) {
  const auto folded = [&](std::size_t i) { return i < text.size() ? FoldCase(text[i]) : 0; };
  if (folded(at + 1) == 'P' && folded(at + 2) == '>') return 3;
  if (folded(at + 1) == 'B' && folded(at + 2) == 'R' && folded(at + 3) == '>') return 4;
  return 0;
}

// True when the ">" at `at` ends a "<p>" or "<br>", so that it is gone before the strip.
bool EndsBreakTag(std::string_view text, std::size_t at) {
  return (at >= 2 && text[at - 2] == '<' && BreakTagLength(text, at - 2) == 3) ||
         (at >= 3 && text[at - 3] == '<' && BreakTagLength(text, at - 3) == 4);
}

// Length of `text` once its "<p>" and "<br>" are CR LF.
std::size_t LengthWithBreaks(std::string_view text) {
  std::size_t length = text.size();
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    const std::size_t tag = BreakTagLength(text, at);
    if (tag != 0) length -= tag - 2;
  }
  return length;
}

}  // namespace

// The CR LF pairs are removed from a copy; the rest is one pass that counts what the break
// tags and the strip leave instead of building it. A span runs from a "<" that is not a break
// tag to the first ">" that does not end one; a span that never closes keeps its bytes.
std::int32_t MeasureTextSize(std::string_view document) {
  std::string copy(document);
  ReplaceInPlace(copy, "\r\n", "", false);
  const std::string_view text = copy;

  std::size_t size = 0;
  std::size_t kept_from = 0;  // start of the bytes not yet counted, outside any span
  bool inside = false;
  std::size_t span_start = 0;
  ScanForBytes(text, 0, '<', '<', [&](std::size_t at) {
    size += at - kept_from;
    const std::size_t tag = BreakTagLength(text, at);
    if (tag != 0) {
      size += 2;
      kept_from = at + tag;
      return at + tag;
    }
    // The span ends at the first ">" that ends no break tag; only ">" bytes are looked at.
    for (std::size_t close = text.find('>', at + 1); close != std::string_view::npos;
         close = text.find('>', close + 1)) {
      if (!EndsBreakTag(text, close)) {
        kept_from = close + 1;
        return close + 1;
      }
    }
    inside = true;
    span_start = at;
    return kStopScan;
  });
  size += inside ? LengthWithBreaks(text.substr(span_start)) : text.size() - kept_from;
  return static_cast<std::int32_t>(size);
}

}  // namespace pagefields
