#pragma once

#include <string>
#include <string_view>

namespace pagefields {

// The value written after the meta name in the first "<meta" tag of `document` whose tag
// text (through its first ">", CR and LF made blanks, runs of blanks made one) holds
// "meta name=" followed by `meta_name`, bare or after a quote, in any letter case.
// The value is what follows the first "=" behind a fixed 22-byte cut from the tag's front,
// trimmed, without one enclosing pair of quotes. Empty when no tag matches. Never throws.
std::string ExtractMetaContent(std::string_view document, std::string_view meta_name);

}  // namespace pagefields
