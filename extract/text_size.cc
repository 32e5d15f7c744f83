#include "extract/text_size.h"

#include <string>

#include "extract/strip_tags.h"
#include "text/edit.h"

namespace pagefields {

std::int32_t MeasureTextSize(std::string_view document) {
  // One working copy: every step shrinks the text, so each is done where it lies.
  std::string text(document);
  ReplaceInPlace(text, "\r\n", "", false);
  ReplaceInPlace(text, "<p>", "\r\n", true);
  ReplaceInPlace(text, "<br>", "\r\n", true);
  StripTags(text);
  return static_cast<std::int32_t>(text.size());
}

}  // namespace pagefields
