#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace pagefields {

// No cut: the whole Noindex text.
inline constexpr std::size_t kWholeText = std::numeric_limits<std::size_t>::max();

// The Noindex text of `document`. Its blocks run from each "<noindex>" (any case, exactly so)
// to the first "</noindex>" at or after it; every opening marker starts a block of its own,
// so a nested block's text appears once for each opening marker before its closing one. The
// blocks' contents are joined without separator, each CR LF becomes a blank, and then:
// - the text begins at its first byte that is NUL or above 32, and ends at its first NUL
//   from there on or behind its last byte above 32, whichever comes first;
// - each "<" with a ">" after it is removed with everything up to that ">", left to right;
//   a "<" with no ">" after it stays, with all that follows it.
// Only the first `max_bytes` bytes of that text are returned; they are computed without
// building the joined contents, whose length can grow with the square of the document's.
std::string ExtractNoindexText(std::string_view document, std::size_t max_bytes = kWholeText);

}  // namespace pagefields
