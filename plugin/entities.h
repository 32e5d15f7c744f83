#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace pagefields {

// No bound on a decoding's result: the whole text is decoded.
inline constexpr std::size_t kWholeResult = std::numeric_limits<std::size_t>::max();

// Decodes the six entities a string value may carry, exact bytes only: &laquo; &raquo;
// &quot; &nbsp; &ndash; &mdash; become the Windows-1251/1252 bytes AB BB 22 20 96 97.
// Every other entity, and these in capitals, pass through unchanged. Decoding stops once the
// result holds `enough` bytes: it then holds at least that many of the whole result's first
// bytes, which is all a cut there needs.
std::string DecodeEntities(std::string_view text, std::size_t enough = kWholeResult);

struct CodePageTable;

// The same six entities as UTF-8 characters: « » " space – —. The other bytes are decoded
// from `code_page`, or kept as they are (text that is UTF-8 already) when it is null. Stops
// at `enough` bytes as DecodeEntities does.
std::string DecodeEntitiesToUtf8(std::string_view text, const CodePageTable* code_page,
                                 std::size_t enough = kWholeResult);

// How many leading raw bytes fix the first `decoded` bytes of DecodeEntities' result: an
// entity is at most 7 bytes and becomes one, so an entity that starts among the first
// 7 * decoded bytes ends within 6 bytes more, and those bytes decode to `decoded` or more.
// A count past what size_t holds (a large MaxLen on a 32-bit build) means every byte.
constexpr std::size_t RawBytesForDecoded(std::size_t decoded) {
  constexpr std::size_t kMost = std::numeric_limits<std::size_t>::max();
  return decoded > (kMost - 6) / 7 ? kMost : decoded * 7 + 6;
}

// How many leading bytes of DecodeEntities(raw) every text that begins with `raw` shares:
// an entity that starts before the last 6 bytes ends inside `raw`, so the bytes before those
// decode alike, and each entity among them, starting with '&', takes 6 bytes away at most.
std::size_t SettledDecodedBytes(std::string_view raw);

}  // namespace pagefields
