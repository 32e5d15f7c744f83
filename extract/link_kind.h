#pragma once

// How a link value is read as web, mail or internal, in two ways that give the same answer:
// a short reading that looks only around the value's ':' bytes, for values read once each,
// and a long one that searches forward through the document, for values that overlap.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "simd/block_scan.h"
#include "text/forward_search.h"

namespace pagefields::links_internal {

enum class LinkKind { kWeb, kMail, kInternal };

// Whether the four ASCII small letters `word` stand at `at` in any letter case. An ASCII
// letter folds only with its bit-5 partner and nothing else folds to ASCII (see case_map.h),
// so setting bit 5 of each byte maps exactly the two bytes of each letter to the small one.
inline bool FourLettersAt(const char* at, const char (&word)[5]) {
  std::uint32_t bytes = 0;
  std::uint32_t letters = 0;
  std::memcpy(&bytes, at, 4);
  std::memcpy(&letters, word, 4);
  return (bytes | 0x20202020u) == letters;
}

// What the ':' at value[colon] makes of the value: web when "http://" or "https://" ends
// there in any case, mail when "mailto:" does, else internal. Only the value's bytes are
// read.
inline LinkKind KindAtColon(std::string_view value, std::size_t colon) {
  const char* const there = value.data() + colon;
  if (colon + 2 < value.size() && there[1] == '/' && there[2] == '/' &&
      ((colon >= 4 && FourLettersAt(there - 4, "http")) ||
       (colon >= 5 && FourLettersAt(there - 5, "http") && (there[-1] | 0x20) == 's'))) {
    return LinkKind::kWeb;
  }
  if (colon >= 6 && FourLettersAt(there - 6, "mail") && (there[-2] | 0x20) == 't' &&
      (there[-1] | 0x20) == 'o') {
    return LinkKind::kMail;
  }
  return LinkKind::kInternal;
}

// Whether "http://" or "https://" in any letter case stands at `at`; eight bytes must be
// readable. As in FourLettersAt, bit 5 is set on the letters' bytes only.
inline bool StartsWithWebScheme(const char* at) {
  if ((at[0] | 0x20) != 'h') return false;
  const auto word = [](const char* text) {
    std::uint64_t value = 0;
    std::memcpy(&value, text, 8);
    return value;
  };
  const std::uint64_t bytes = word(at);
  const std::uint64_t first_seven = word("\xff\xff\xff\xff\xff\xff\xff\0");
  return ((bytes | word("    \0\0\0\0")) & first_seven) == word("http://\0") ||
         (bytes | word("     \0\0\0")) == word("https://");
}

// The first of the bytes 1 to 6 from `at` that is a blank, or 0: where an unquoted value
// that starts at `at` ends, when it is shorter than seven bytes. Eight bytes must be readable.
inline std::size_t BlankAmongBytesOneToSix(const char* at) {
  std::uint64_t bytes = 0;
  std::memcpy(&bytes, at, 8);
  // Blanks become zero bytes. Byte 0 is made nonzero: a value's first byte ends nothing.
  const std::uint64_t x = (bytes ^ 0x2020202020202020u) | 0xffu;
  // Marks each zero byte; a borrow can also mark a byte above a zero one, but only there, so
  // the lowest mark is always a zero byte.
  const std::uint64_t zeros = (x - 0x0101010101010101u) & ~x & 0x0080808080808000u;
  return zeros == 0 ? 0 : static_cast<std::size_t>(std::countr_zero(zeros)) / 8;
}

// "http://", "https://" and "mailto:" all need seven bytes.
inline constexpr std::size_t kShortestWord = 7;

// Whether a value starts with "//", which makes it web whatever follows.
inline bool StartsWithTwoSlashes(std::string_view value) {
  return value.size() >= 2 && value[0] == '/' && value[1] == '/';
}

// The kind of a value of at most 64 bytes from its first two bytes and its ':' bytes, the
// set bits of `colons` (bit i for value[i]). In a value too short for any of the words no ':'
// makes it web or mail.
inline LinkKind KindOfColons(std::string_view value, simd::Mask colons) {
  if (StartsWithTwoSlashes(value)) return LinkKind::kWeb;
  bool mail = false;
  for (; colons != 0; colons &= colons - 1) {
    const LinkKind kind = KindAtColon(value, simd::FirstBit(colons));
    if (kind == LinkKind::kWeb) return kind;
    mail = mail || kind == LinkKind::kMail;
  }
  return mail ? LinkKind::kMail : LinkKind::kInternal;
}

// The kind of a value that starts with "//" or is too short to hold any of the words, or
// nullopt when its ':' bytes must be read.
inline std::optional<LinkKind> KindByLength(std::string_view value) {
  if (StartsWithTwoSlashes(value)) return LinkKind::kWeb;
  if (value.size() < kShortestWord) return LinkKind::kInternal;
  return std::nullopt;
}

// The kind of the value text[begin, end): web when "http://" or "https://" stands anywhere
// in it (any case) or it starts with "//", else mail when "mailto:" does, else internal.
// Whole blocks of `text` are read, also past the value.
template <typename K>
LinkKind KindOfShort(std::string_view text, std::size_t begin, std::size_t end) {
  const std::string_view value = text.substr(begin, end - begin);
  if (const std::optional<LinkKind> kind = KindByLength(value)) return *kind;
  bool mail = false;
  const bool web =
      !simd::ForEachSelected(text, begin, end, simd::ByteIs<K, ':'>{}, [&](std::size_t at) {
        const LinkKind kind = KindAtColon(value, at - begin);
        mail = mail || kind == LinkKind::kMail;
        return kind != LinkKind::kWeb;
      });
  if (web) return LinkKind::kWeb;
  return mail ? LinkKind::kMail : LinkKind::kInternal;
}

// The same reading by forward searches through one document, for values asked about in an
// order whose starts never decrease; each word is searched through the document about once
// over all the values.
class KindOfLong {
 public:
  explicit KindOfLong(std::string_view document)
      : http_("http://", document, PosText),
        https_("https://", document, PosText),
        mailto_("mailto:", document, PosText),
        document_(document) {}

  // The kind of document[begin, end).
  LinkKind Of(std::size_t begin, std::size_t end) {
    const int first = static_cast<int>(begin) + 1;  // 1-based, as ForwardSearch counts
    const int past = static_cast<int>(end) + 1;
    if (http_.Within(first, past) != 0 || https_.Within(first, past) != 0 ||
        document_.substr(begin, end - begin).starts_with("//")) {
      return LinkKind::kWeb;
    }
    if (mailto_.Within(first, past) != 0) return LinkKind::kMail;
    return LinkKind::kInternal;
  }

 private:
  ForwardSearch http_;
  ForwardSearch https_;
  ForwardSearch mailto_;
  std::string_view document_;
};

}  // namespace pagefields::links_internal
