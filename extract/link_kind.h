#pragma once

// How a link value is read as web, mail or internal, in two ways that give the same answer:
// a short reading that looks only around the value's ':' bytes, for values read once each,
// and a long one that searches forward through the document, for values that overlap.

#include <cstddef>
#include <string_view>

#include "simd/block_scan.h"
#include "text/forward_search.h"

namespace pagefields::links_internal {

enum class LinkKind { kWeb, kMail, kInternal };

// Whether `byte` folds to the capital of the ASCII small letter `small`. An ASCII letter
// folds only with its bit-5 partner and nothing else folds to ASCII (see case_map.h), so
// setting bit 5 maps exactly the two bytes of that letter to `small`.
constexpr bool FoldsToLetter(char byte, char small) {
  return (byte | 0x20) == small;
}

// Whether the ASCII small letters `word` stand at `at` in any letter case; the bytes there
// must be readable.
inline bool LettersAt(const char* at, std::string_view word) {
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (!FoldsToLetter(at[i], word[i])) return false;
  }
  return true;
}

template <typename K>
simd::Mask Colons(const char* at) {
  return K::Equal(K::Load(at), ':');
}

// The kind of the value text[begin, end): web when "http://" or "https://" stands anywhere
// in it (any case) or it starts with "//", else mail when "mailto:" does, else internal.
// Each of those words has its ':' at a fixed place, and ':' and '/' fold only with
// themselves, so only the places around each ':' are compared. Whole blocks of `text` are
// read, also past the value.
template <typename K>
LinkKind KindOfShort(std::string_view text, std::size_t begin, std::size_t end) {
  const std::string_view value = text.substr(begin, end - begin);
  if (value.size() >= 2 && value[0] == '/' && value[1] == '/') return LinkKind::kWeb;
  // "http://", "https://" and "mailto:" all need seven bytes.
  if (value.size() < 7) return LinkKind::kInternal;
  bool web = false;
  bool mail = false;
  simd::ForEachSelected(text, begin, end, Colons<K>, [&](std::size_t at) {
    const std::size_t colon = at - begin;
    const char* const there = text.data() + at;
    const bool slashes = value.substr(colon + 1, 2) == "//";
    web = slashes && ((colon >= 4 && LettersAt(there - 4, "http")) ||
                      (colon >= 5 && LettersAt(there - 5, "https")));
    mail = mail || (colon >= 6 && LettersAt(there - 6, "mailto"));
    return !web;
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
