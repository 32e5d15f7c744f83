#include "extract/element_text.h"

#include "text/search.h"

namespace pagefields {

std::string_view ElementTextView(std::string_view document, std::string_view tag_name) try {
  const std::string opening = "<" + std::string(tag_name) + ">";
  const std::string closing = "</" + std::string(tag_name) + ">";
  const int open = PosText(opening, document, 1);
  if (open == 0) return {};
  // The closing search starts at the opening marker itself, which can never be a match.
  const int close = PosText(closing, document, open);
  if (close <= open) return {};
  const auto content_start = static_cast<std::size_t>(open) - 1 + opening.size();
  const auto content_end = static_cast<std::size_t>(close) - 1;
  if (content_end <= content_start) return {};
  return document.substr(content_start, content_end - content_start);
} catch (...) {
  return {};
}

}  // namespace pagefields
