#include "extract/meta_content.h"

#include <utility>

#include "text/edit.h"
#include "text/search.h"

namespace pagefields {
namespace {

// The length of "<meta name=Description": where the value is cut from, for every meta name.
// It is deliberately not recomputed for shorter names; the search for "=" behind it then
// finds the content attribute's.
constexpr int kFrontCut = 22;

// CR and LF become blanks and every run of blanks becomes one.
std::string NormalisedTagText(std::string_view tag) {
  std::string text;
  text.reserve(tag.size());
  for (char byte : tag) {
    if (byte == '\r' || byte == '\n') byte = ' ';
    if (byte == ' ' && !text.empty() && text.back() == ' ') continue;
    text += byte;
  }
  return text;
}

bool NamesMeta(std::string_view tag_text, std::string_view meta_name) {
  const std::string bare = "meta name=" + std::string(meta_name);
  const std::string double_quoted = "meta name=\"" + std::string(meta_name);
  const std::string single_quoted = "meta name='" + std::string(meta_name);
  return PosText(bare, tag_text, 1) != 0 || PosText(double_quoted, tag_text, 1) != 0 ||
         PosText(single_quoted, tag_text, 1) != 0;
}

std::string ValueOf(std::string tag_text) {
  DeleteChars(tag_text, static_cast<int>(tag_text.size()), 1);  // the closing ">"
  DeleteChars(tag_text, 1, kFrontCut);
  TrimInPlace(tag_text);
  const int equals = PosStr("=", tag_text, 1);
  if (equals == 0) return tag_text;
  DeleteChars(tag_text, 1, equals);
  TrimInPlace(tag_text);
  const bool quoted = !tag_text.empty() && tag_text.front() == tag_text.back() &&
                      (tag_text.front() == '"' || tag_text.front() == '\'');
  if (quoted) {
    DeleteChars(tag_text, static_cast<int>(tag_text.size()), 1);
    DeleteChars(tag_text, 1, 1);
  }
  return tag_text;
}

}  // namespace

std::string ExtractMetaContent(std::string_view document, std::string_view meta_name) try {
  int tag = PosText("<meta", document, 1);
  while (tag > 0) {
    const int tag_end = PosStr(">", document, tag);
    if (tag_end == 0) return {};  // no later "<meta" has a ">" behind it either
    std::string tag_text = NormalisedTagText(document.substr(
        static_cast<std::size_t>(tag) - 1, static_cast<std::size_t>(tag_end - tag + 1)));
    if (NamesMeta(tag_text, meta_name)) return ValueOf(std::move(tag_text));
    // A later "<meta" before this ">" shares it; its normalised tag text is then part of
    // this one's, so it cannot name the meta either.
    tag = PosText("<meta", document, tag_end);
  }
  return {};
} catch (...) {
  return {};
}

}  // namespace pagefields
