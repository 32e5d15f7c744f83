#pragma once

#include <string>
#include <string_view>

namespace pagefields {

// The raw bytes between the first "<" + tag + ">" of `document` and the first "</" + tag + ">"
// from there on, both matched ignoring letter case, as a view into `document`. Empty when
// either marker is missing. A tag with attributes or blanks is no marker. Never throws.
std::string_view ElementTextView(std::string_view document, std::string_view tag_name);

}  // namespace pagefields
