#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pagefields {

// A meta tag's value: what is written after the meta name in the first "<meta" tag of
// `document` whose tag text (through its first ">", CR and LF made blanks, runs of blanks made
// one) holds "meta name=" followed by `meta_name`, bare or after a quote, in any letter case.
// The value is what follows the first "=" behind a fixed 22-byte cut from the tag's front,
// trimmed, without one enclosing pair of quotes; empty when no tag matches.
// MetaContentView gives the document bytes the value is made of: NormaliseBlanks of them is
// the value. They begin and end with a byte above 32, or are empty. Copies nothing.
std::string_view MetaContentView(std::string_view document, std::string_view meta_name);

// `raw` with CR and LF made blanks and every run of blanks made one, cut to `limit` bytes.
std::string NormaliseBlanks(std::string_view raw, std::size_t limit = std::string::npos);

// The length of NormaliseBlanks(raw), without building it.
std::size_t NormalisedLength(std::string_view raw);

}  // namespace pagefields
