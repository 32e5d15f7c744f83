#pragma once

#include <string>
#include <string_view>

namespace pagefields {

// The contents of every block from a "<noindex>" (any case, exactly so) to the first
// "</noindex>" at or after it, joined without separator, with each CR LF turned into a blank,
// then TrimCopy and StripTags. Every opening marker starts a block of its own, so a nested
// block's text appears once for each opening marker before its closing one.
std::string ExtractNoindexText(std::string_view document);

}  // namespace pagefields
