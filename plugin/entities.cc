#include "plugin/entities.h"

namespace pagefields {
namespace {

struct EntityReplacement {
  std::string_view entity;
  std::string_view byte;
};

// Each entity starts with '&' and ends with ';' and holds neither inside, so two
// occurrences never overlap; no replacement byte is '&', ';' or a letter, so no replacement
// makes an entity. One pass from the left therefore decodes as replacing each entity in turn.
constexpr EntityReplacement kEntities[] = {
    {"&laquo;", "\xAB"}, {"&raquo;", "\xBB"}, {"&quot;", "\x22"},
    {"&nbsp;", "\x20"},  {"&ndash;", "\x96"}, {"&mdash;", "\x97"},
};

}  // namespace

std::string DecodeEntities(std::string_view text) {
  std::size_t amp = text.find('&');
  if (amp == std::string_view::npos) return std::string(text);
  std::string decoded;
  decoded.reserve(text.size());
  std::size_t copied = 0;  // bytes of `text` already decoded
  for (; amp != std::string_view::npos; amp = text.find('&', amp + 1)) {
    for (const auto& [entity, byte] : kEntities) {
      if (text.substr(amp, entity.size()) != entity) continue;
      decoded.append(text.substr(copied, amp - copied));
      decoded.append(byte);
      copied = amp + entity.size();
      amp = copied - 1;
      break;
    }
  }
  decoded.append(text.substr(copied));
  return decoded;
}

}  // namespace pagefields
