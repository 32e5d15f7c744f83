#include "plugin/entities.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "simd/block_scan.h"
#include "simd/dispatch.h"
#include "text/utf8.h"

namespace pagefields {
namespace {

struct EntityReplacement {
  std::string_view entity;
  char byte;  // a Windows-1251 and Windows-1252 byte: both read it as the same character
};

// Each entity starts with '&' and ends with ';' and holds neither inside, so two
// occurrences never overlap; no replacement byte is '&', ';' or a letter, so no replacement
// makes an entity. One pass from the left therefore decodes as replacing each entity in turn.
constexpr EntityReplacement kEntities[] = {
    {"&laquo;", '\xAB'}, {"&raquo;", '\xBB'}, {"&quot;", '\x22'},
    {"&nbsp;", '\x20'},  {"&ndash;", '\x96'}, {"&mdash;", '\x97'},
};

// The two bytes behind an entity's '&', as one number; they tell the six apart.
constexpr std::uint16_t KeyOf(std::string_view entity) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(entity[1]) |
                                    static_cast<unsigned char>(entity[2]) << 8);
}

constexpr bool KeysDiffer() {
  for (std::size_t i = 0; i < std::size(kEntities); ++i) {
    for (std::size_t j = i + 1; j < std::size(kEntities); ++j) {
      if (KeyOf(kEntities[i].entity) == KeyOf(kEntities[j].entity)) return false;
    }
  }
  return true;
}
static_assert(KeysDiffer(), "each entity must be known by its first two letters");

// The shortest entities, "&quot;" and "&nbsp;", have six bytes.
constexpr std::size_t kShortestEntity = 6;

// The entity among kEntities[kI…] whose first two letters are `key`, if `rest` starts with
// it whole; compared at the entity's own length, which the compiler then knows.
template <std::size_t kI = 0>
const EntityReplacement* EntityStarting(std::string_view rest, std::uint16_t key) {
  if constexpr (kI == std::size(kEntities)) {
    return nullptr;
  } else {
    constexpr std::string_view kEntity = kEntities[kI].entity;
    if (key != KeyOf(kEntity)) return EntityStarting<kI + 1>(rest, key);
    return rest.starts_with(kEntity) ? &kEntities[kI] : nullptr;
  }
}

// The entity that starts at text[amp], a '&', or nullptr. Its first two letters name the
// only candidate, which is then compared whole.
const EntityReplacement* EntityAt(std::string_view text, std::size_t amp) {
  if (text.size() - amp < kShortestEntity) return nullptr;
  return EntityStarting(text.substr(amp), KeyOf(text.substr(amp, 3)));
}

// Calls run(bytes) for each stretch of `text` between the six entities and entity(found) for
// each of them, in order, until either returns false. The '&' are taken from block masks
// rather than searched for one after another: the next search would wait for the entity
// before it to be read, and texts with many entities would go at the pace of that chain.
template <typename Run, typename Entity>
void WalkEntities(std::string_view text, Run&& run, Entity&& entity) {
  simd::Dispatch([&](auto kernel) {
    using K = decltype(kernel);
    std::size_t copied = 0;  // bytes of `text` already passed on
    // An entity holds no '&' behind its first byte, so every '&' visited lies at or past
    // `copied`.
    const bool walked =
        simd::ForEachSelected(text, 0, text.size(), simd::ByteIs<K, '&'>{}, [&](std::size_t amp) {
          const EntityReplacement* const found = EntityAt(text, amp);
          if (found == nullptr) return true;
          if (!run(text.substr(copied, amp - copied)) || !entity(*found)) return false;
          copied = amp + found->entity.size();
          return true;
        });
    if (walked) run(text.substr(copied));
  });
}

// A decoding written into room made once. Each entity has six bytes or more and gives three
// at most, every other byte gives one, so a decoding that keeps the other bytes is never
// longer than its text.
class DecodedInPlace {
 public:
  DecodedInPlace(std::size_t text_size, std::size_t enough) : enough_(enough) {
    // Past `enough` only the last entity's bytes are written.
    text_.resize(enough < text_size ? std::min(text_size, enough + 2) : text_size);
  }

  // Bytes between entities, cut where they fill the result; false once it holds enough.
  bool Run(std::string_view bytes) {
    bytes = bytes.substr(0, enough_ - size_);
    std::memcpy(text_.data() + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
    return size_ < enough_;
  }
  // One character, whole; false once the result holds enough.
  bool Character(const char* bytes, std::size_t size) {
    std::memcpy(text_.data() + size_, bytes, size);
    size_ += size;
    return size_ < enough_;
  }

  std::string Take() {
    text_.resize(size_);
    return std::move(text_);
  }

 private:
  std::string text_;
  std::size_t size_ = 0;
  std::size_t enough_;
};

// A decoding that keeps every byte between entities as it stands, and gives each entity the
// bytes that `character(found)` names (a pointer and a count).
template <typename Character>
std::string DecodeKeepingOtherBytes(std::string_view text, std::size_t enough,
                                    Character&& character) {
  // Most texts hold no '&': they are only cut, without a walk.
  if (text.find('&') == std::string_view::npos) return std::string(text.substr(0, enough));
  DecodedInPlace decoded(text.size(), enough);
  WalkEntities(
      text, [&](std::string_view bytes) { return decoded.Run(bytes); },
      [&](const EntityReplacement& found) {
        const auto [bytes, size] = character(found);
        return decoded.Character(bytes, size);
      });
  return decoded.Take();
}

}  // namespace

std::size_t SettledDecodedBytes(std::string_view raw) {
  const std::size_t settled = raw.size() < 6 ? 0 : raw.size() - 6;
  // The '&' are counted by blocks: counted one search after another, each search would wait
  // for the one before.
  const std::size_t amps = simd::Dispatch([&](auto kernel) {
    return simd::CountSelected(raw, 0, settled, simd::ByteIs<decltype(kernel), '&'>{});
  });
  return settled > 6 * amps ? settled - 6 * amps : 0;
}

std::string DecodeEntities(std::string_view text, std::size_t enough) {
  return DecodeKeepingOtherBytes(text, enough, [](const EntityReplacement& found) {
    return std::pair{&found.byte, std::size_t{1}};
  });
}

std::string DecodeEntitiesToUtf8(std::string_view text, const CodePageTable* code_page,
                                 std::size_t enough) {
  // The six characters are the same in Windows-1251 and Windows-1252.
  const auto utf8_of = [](const EntityReplacement& found) -> const CodePageTable::Character& {
    return kWindows1251.characters[static_cast<unsigned char>(found.byte)];
  };
  if (code_page == nullptr) {
    return DecodeKeepingOtherBytes(text, enough, [&](const EntityReplacement& found) {
      const auto& [bytes, size] = utf8_of(found);
      return std::pair{bytes.data(), std::size_t{size}};
    });
  }
  // Each byte between entities gives one byte or more, so a run cut to the bytes still
  // wanted fills the result.
  std::string decoded;
  decoded.reserve(std::min(text.size(), enough) * 2);
  WalkEntities(
      text,
      [&](std::string_view bytes) {
        AppendDecoded(decoded, bytes.substr(0, enough - decoded.size()), *code_page);
        return decoded.size() < enough;
      },
      [&](const EntityReplacement& found) {
        const auto& [bytes, size] = utf8_of(found);
        decoded.append(bytes.data(), size);
        return decoded.size() < enough;
      });
  return decoded;
}

}  // namespace pagefields
