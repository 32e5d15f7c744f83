#pragma once

#include <string>

namespace pagefields {

// Removes from `text` every span from a "<" through the first ">" at or after it, reading
// left to right; a ">" without a "<" stays, and so does everything from a "<" that no ">"
// follows.
void StripTags(std::string& text);

}  // namespace pagefields
