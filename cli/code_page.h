#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pagefields::cli {

// A single-byte code page's mapping to UTF-8. The table is built once through iconv, so
// conversions afterwards are lookups that any number of threads may share.
class CodePage {
 public:
  // The mapping of Windows code page `number` (1251 or 1252 are the ones pages use), or
  // nullopt when iconv does not know it.
  static std::optional<CodePage> Open(int number);

  // `text` in UTF-8. A byte the code page leaves undefined becomes U+FFFD.
  std::string ToUtf8(std::string_view text) const;
  // Appends ToUtf8(text) to `out`.
  void AppendUtf8(std::string& out, std::string_view text) const;

 private:
  // A single-byte code page's characters all lie in the Basic Multilingual Plane, so each
  // takes at most three bytes in UTF-8.
  struct Utf8 {
    std::array<char, 3> bytes{};
    std::uint8_t size = 0;
  };

  CodePage() = default;
  std::array<Utf8, 256> utf8_{};  // the UTF-8 form of every byte value
};

}  // namespace pagefields::cli
