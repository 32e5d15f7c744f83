#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pagefields {

// Decodes the six entities a string value may carry, exact bytes only: &laquo; &raquo;
// &quot; &nbsp; &ndash; &mdash; become the Windows-1251/1252 bytes AB BB 22 20 96 97.
// Every other entity, and these in capitals, pass through unchanged.
std::string DecodeEntities(std::string_view text);

// How many leading raw bytes fix the first `decoded` bytes of DecodeEntities' result: an
// entity is at most 7 bytes and becomes one, so an entity that starts among the first
// 7 * decoded bytes ends within 6 bytes more, and those bytes decode to `decoded` or more.
constexpr std::size_t RawBytesForDecoded(std::size_t decoded) {
  return decoded * 7 + 6;
}

}  // namespace pagefields
