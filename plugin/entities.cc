#include "plugin/entities.h"

#include <algorithm>
#include <array>
#include <cstdint>

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

// The two bytes behind an entity's '&', as one number; they tell the six apart.
constexpr std::uint16_t KeyOf(std::string_view entity) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(entity[1]) |
                                    static_cast<unsigned char>(entity[2]) << 8);
}

constexpr auto kKeys = [] {
  std::array<std::uint16_t, std::size(kEntities)> keys{};
  for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = KeyOf(kEntities[i].entity);
  return keys;
}();

constexpr bool KeysDiffer() {
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    for (std::size_t j = i + 1; j < kKeys.size(); ++j) {
      if (kKeys[i] == kKeys[j]) return false;
    }
  }
  return true;
}
static_assert(KeysDiffer(), "each entity must be known by its first two letters");

// The shortest entities, "&quot;" and "&nbsp;", have six bytes.
constexpr std::size_t kShortestEntity = 6;

// The entity that starts at text[amp], a '&', or nullptr. Its first two letters name the
// only candidate, which is then compared whole.
const EntityReplacement* EntityAt(std::string_view text, std::size_t amp) {
  const std::string_view rest = text.substr(amp);
  if (rest.size() < kShortestEntity) return nullptr;
  const std::uint16_t key = KeyOf(rest);
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (kKeys[i] == key) return rest.starts_with(kEntities[i].entity) ? &kEntities[i] : nullptr;
  }
  return nullptr;
}

}  // namespace

std::string DecodeEntities(std::string_view text, std::size_t enough) {
  std::size_t amp = text.find('&');
  // Bytes between entities stay one byte each, so a run is cut where it fills the result.
  if (amp == std::string_view::npos) return std::string(text.substr(0, enough));
  std::string decoded;
  decoded.reserve(std::min(text.size(), enough));
  std::size_t copied = 0;  // bytes of `text` already decoded
  for (; amp != std::string_view::npos && decoded.size() < enough; amp = text.find('&', amp + 1)) {
    const EntityReplacement* const found = EntityAt(text, amp);
    if (found == nullptr) continue;
    decoded.append(text.substr(copied, amp - copied));
    decoded.append(found->byte);
    copied = amp + found->entity.size();
    amp = copied - 1;
  }
  if (decoded.size() < enough) decoded.append(text.substr(copied, enough - decoded.size()));
  return decoded;
}

std::string DecodeEntitiesToUtf8(std::string_view text, const CodePageTable* code_page,
                                 std::size_t enough) {
  std::string decoded;
  const std::size_t wanted = std::min(text.size(), enough);
  decoded.reserve(code_page == nullptr ? wanted : wanted * 2);
  // Each byte between entities gives one byte or more, so a run cut to the bytes still
  // wanted fills the result.
  const auto append_bytes = [&](std::string_view bytes) {
    bytes = bytes.substr(0, enough - decoded.size());
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
    if (decoded.size() >= enough) return decoded;
    AppendUtf8(decoded, found->character);
    if (decoded.size() >= enough) return decoded;
    copied = amp + found->entity.size();
    amp = copied - 1;
  }
  append_bytes(text.substr(copied));
  return decoded;
}

}  // namespace pagefields
