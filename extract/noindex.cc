#include "extract/noindex.h"

#include "extract/strip_tags.h"
#include "text/edit.h"
#include "text/forward_search.h"
#include "text/search.h"

namespace pagefields {

std::string ExtractNoindexText(std::string_view document) {
  constexpr std::string_view kOpening = "<noindex>";
  constexpr int kOpeningLength = static_cast<int>(kOpening.size());
  ForwardSearch openings(kOpening, document, PosText);
  ForwardSearch closings("</noindex>", document, PosText);

  std::string joined;
  for (int open = openings.From(1); open > 0; open = openings.From(open + 1)) {
    const int close = closings.From(open);
    if (close == 0) break;  // no closing marker is left for this block or any later one
    const auto content = static_cast<std::size_t>(open + kOpeningLength - 1);
    joined.append(document.substr(content, static_cast<std::size_t>(close) - 1 - content));
  }
  ReplaceInPlace(joined, "\r\n", " ", false);
  std::string text = TrimCopy(joined);
  StripTags(text);
  return text;
}

}  // namespace pagefields
