#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace pagefields {

// No cut: the whole Noindex text.
inline constexpr std::size_t kWholeText = std::numeric_limits<std::size_t>::max();

// The contents of every block from a "<noindex>" (any case, exactly so) to the first
// "</noindex>" at or after it, joined without separator, with each CR LF turned into a blank,
// then TrimCopy and StripTags. Every opening marker starts a block of its own, so a nested
// block's text appears once for each opening marker before its closing one.
// Only the first `max_bytes` bytes of that text are returned; they are computed without
// building the joined contents, whose length can grow with the square of the document's.
std::string ExtractNoindexText(std::string_view document, std::size_t max_bytes = kWholeText);

}  // namespace pagefields
