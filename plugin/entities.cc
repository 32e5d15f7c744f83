#include "plugin/entities.h"

#include "text/edit.h"

namespace pagefields {
namespace {

struct EntityReplacement {
  std::string_view entity;
  std::string_view byte;
};

// Applied in this order. Each entity starts with '&' and ends with ';', and no replacement
// byte is '&', ';' or a letter, so no pass makes or breaks an entity for a later one.
constexpr EntityReplacement kEntities[] = {
    {"&laquo;", "\xAB"}, {"&raquo;", "\xBB"}, {"&quot;", "\x22"},
    {"&nbsp;", "\x20"},  {"&ndash;", "\x96"}, {"&mdash;", "\x97"},
};

}  // namespace

std::string DecodeEntities(std::string_view text) {
  std::string decoded(text);
  if (decoded.find('&') == std::string::npos) return decoded;
  for (const auto& [entity, byte] : kEntities) decoded = ReplaceStr(decoded, entity, byte);
  return decoded;
}

}  // namespace pagefields
