#include "text/utf8.h"

#include <cstring>

#include "simd/block_scan.h"
#include "simd/dispatch.h"

namespace pagefields {
namespace {

constexpr bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the strict UTF-8 character at text[at], or 0 when none starts there.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const std::size_t left = text.size() - at;
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  // The second byte's range rules out overlong forms (E0, F0), surrogates (ED) and code
  // points above U+10FFFF (F4).
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (left < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(byte(i))) return 0;
  }
  return length;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// The length of the run of ASCII bytes that starts at text[at], found eight bytes at a time.
std::size_t AsciiRun(std::string_view text, std::size_t at) {
  const std::size_t start = at;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t eight = 0;
    std::memcpy(&eight, text.data() + at, 8);
    if ((eight & kHighBits) != 0) break;
  }
  while (at < text.size() && static_cast<unsigned char>(text[at]) < 0x80) ++at;
  return at - start;
}

template <typename K>
struct NonAscii {
  simd::Mask operator()(const char* at) const { return K::HighBits(K::Load(at)); }
};

}  // namespace

bool IsAscii(std::string_view text) {
  // Asked of whole pages, so read by runs of four blocks merged, whose high bits are looked
  // at once; the whole ones without the bounds work of a general search, since most pages
  // are read to their end.
  return simd::Dispatch([&](auto kernel) {
    using K = decltype(kernel);
    constexpr std::size_t kRun = 4 * simd::kBlockSize;
    const char* const bytes = text.data();
    std::size_t at = 0;
    for (; text.size() - at >= kRun; at += kRun) {
      const typename K::Block merged =
          K::Merge(K::Merge(K::Load(bytes + at), K::Load(bytes + at + simd::kBlockSize)),
                   K::Merge(K::Load(bytes + at + 2 * simd::kBlockSize),
                            K::Load(bytes + at + 3 * simd::kBlockSize)));
      if (K::HighBits(merged) != 0) return false;
    }
    return simd::FindFirst(text, at, text.size(), NonAscii<K>{}) == text.size();
  });
}

bool IsUtf8(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    // Runs of ASCII are the bulk of most values.
    at += AsciiRun(text, at);
    if (at == text.size()) break;
    const std::size_t length = CharacterLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::size_t Utf8CutLength(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text.size();
  // The byte behind the cut starts a character unless it continues one; a character holds
  // at most three continuation bytes, so its lead lies at most three bytes back.
  std::size_t cut = max_bytes;
  while (cut > 0 && max_bytes - cut < 3 && IsContinuation(static_cast<unsigned char>(text[cut]))) {
    --cut;
  }
  return IsContinuation(static_cast<unsigned char>(text[cut])) ? max_bytes : cut;
}

std::size_t WholeCharactersLength(std::string_view text) {
  const std::size_t size = text.size();
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto byte = static_cast<unsigned char>(text[size - back]);
    if (IsContinuation(byte)) continue;
    const std::size_t announced = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return announced > back ? size - back : size;
  }
  return size;
}

void AppendDecoded(std::string& out, std::string_view bytes, const CodePageTable& table) {
  // Room for the longest decoding of a stretch first, so that each byte is one copy of three
  // table bytes without a check of the room; stretches keep the spare room small.
  constexpr std::size_t kStretch = 1024;
  for (std::size_t from = 0; from < bytes.size(); from += kStretch) {
    const std::string_view stretch = bytes.substr(from, kStretch);
    const std::size_t start = out.size();
    out.resize(start + 3 * stretch.size());
    char* to = out.data() + start;
    for (const char byte : stretch) {
      const auto& [utf8, size] = table.characters[static_cast<unsigned char>(byte)];
      std::memcpy(to, utf8.data(), utf8.size());
      to += size;
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
  }
}

std::string Utf8OrDecoded(std::string_view bytes, const CodePageTable& table) {
  if (IsUtf8(bytes)) return std::string(bytes);
  std::string decoded;
  decoded.reserve(bytes.size() * 2);
  AppendDecoded(decoded, bytes, table);
  return decoded;
}

}  // namespace pagefields
