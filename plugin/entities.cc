#include "plugin/entities.h"

#include "text/utf8.h"

namespace pagefields {
namespace {

struct EntityReplacement {
  std::string_view entity;
  std::string_view byte;
  char32_t character;  // what the byte stands for in Windows-1251 and Windows-1252
};

// Each entity starts with '&' and ends with ';' and holds neither inside, so two
// occurrences never overlap; no replacement byte is '&', ';' or a letter, so no replacement
// makes an entity. One pass from the left therefore decodes as replacing each entity in turn.
constexpr EntityReplacement kEntities[] = {
    {"&laquo;", "\xAB", U'\u00AB'}, {"&raquo;", "\xBB", U'\u00BB'}, {"&quot;", "\x22", U'"'},
    {"&nbsp;", "\x20", U' '},       {"&ndash;", "\x96", U'\u2013'}, {"&mdash;", "\x97", U'\u2014'},
};

// The entity that starts at text[amp], a '&', or nullptr.
const EntityReplacement* EntityAt(std::string_view text, std::size_t amp) {
  const std::string_view rest = text.substr(amp);
  for (const EntityReplacement& replacement : kEntities) {
    const std::string_view entity = replacement.entity;
    // The letter behind the '&' tells most of them apart before the whole is compared.
    if (rest.size() >= entity.size() && rest[1] == entity[1] && rest.starts_with(entity)) {
      return &replacement;
    }
  }
  return nullptr;
}

}  // namespace

std::string DecodeEntities(std::string_view text) {
  std::size_t amp = text.find('&');
  if (amp == std::string_view::npos) return std::string(text);
  std::string decoded;
  decoded.reserve(text.size());
  std::size_t copied = 0;  // bytes of `text` already decoded
  for (; amp != std::string_view::npos; amp = text.find('&', amp + 1)) {
    const EntityReplacement* const found = EntityAt(text, amp);
    if (found == nullptr) continue;
    decoded.append(text.substr(copied, amp - copied));
    decoded.append(found->byte);
    copied = amp + found->entity.size();
    amp = copied - 1;
  }
  decoded.append(text.substr(copied));
  return decoded;
}

std::string DecodeEntitiesToUtf8(std::string_view text, const CodePageTable* code_page) {
  std::string decoded;
  decoded.reserve(code_page == nullptr ? text.size() : text.size() * 2);
  const auto append_bytes = [&](std::string_view bytes) {
    if (code_page == nullptr) {
      decoded.append(bytes);
    } else {
      AppendDecoded(decoded, bytes, *code_page);
    }
  };
  std::size_t copied = 0;  // bytes of `text` already decoded
  // The same walk as DecodeEntities': entities neither overlap nor arise from a replacement.
  for (std::size_t amp = text.find('&'); amp != std::string_view::npos;
       amp = text.find('&', amp + 1)) {
    const EntityReplacement* const found = EntityAt(text, amp);
    if (found == nullptr) continue;
    append_bytes(text.substr(copied, amp - copied));
    AppendUtf8(decoded, found->character);
    copied = amp + found->entity.size();
    amp = copied - 1;
  }
  append_bytes(text.substr(copied));
  return decoded;
}

}  // namespace pagefields
