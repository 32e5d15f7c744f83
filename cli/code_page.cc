#include "cli/code_page.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>

namespace pagefields::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// What one byte of a code page became.
enum class ByteResult { kCharacter, kUndefined, kIncomplete };

// Closes the conversion on every way out.
class Conversion {
 public:
  Conversion(const char* to, const char* from) : handle_(::iconv_open(to, from)) {}
  ~Conversion() {
    if (is_open()) ::iconv_close(handle_);
  }
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  bool is_open() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // The UTF-8 form of one byte into `utf8`: a character, a byte the code page leaves
  // undefined, or one that only starts a character (the code page is not single-byte).
  ByteResult Convert(unsigned char byte, std::string& utf8) {
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* in_at = in;
    char* out_at = out;
    std::size_t in_left = sizeof in;
    std::size_t out_left = sizeof out;
    ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    const std::size_t done = ::iconv(handle_, &in_at, &in_left, &out_at, &out_left);
    if (done == static_cast<std::size_t>(-1) && errno == EINVAL) return ByteResult::kIncomplete;
    if (done == static_cast<std::size_t>(-1) || in_left != 0 || out_at == out || out_at - out > 3) {
      utf8 = kReplacement;
      return ByteResult::kUndefined;
    }
    utf8.assign(out, out_at);
    return ByteResult::kCharacter;
  }

 private:
  iconv_t handle_;
};

bool AllDigits(std::string_view name) {
  if (name.empty()) return false;
  for (const char c : name) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return false;
  }
  return true;
}

}  // namespace

std::optional<CodePageTable> OpenCodePage(std::string_view name, std::string& error) {
  const std::string iconv_name = AllDigits(name) ? "CP" + std::string(name) : std::string(name);
  // iconv takes an empty name for the locale's own encoding.
  Conversion conversion("UTF-8", iconv_name.empty() ? "-" : iconv_name.c_str());
  if (!conversion.is_open()) {
    error = "iconv knows no code page named '" + std::string(name) + "'";
    return std::nullopt;
  }
  CodePageTable table;
  std::string utf8;
  for (int byte = 0; byte < 256; ++byte) {
    const ByteResult result = conversion.Convert(static_cast<unsigned char>(byte), utf8);
    const bool ascii_kept =
        byte >= 0x80 || (utf8.size() == 1 && utf8[0] == static_cast<char>(byte));
    if (result == ByteResult::kIncomplete || !ascii_kept) {
      error = "'" + std::string(name) +
              "' is not a single-byte code page whose first 128 bytes are ASCII";
      return std::nullopt;
    }
    auto& [bytes, size] = table.characters[static_cast<std::size_t>(byte)];
    utf8.copy(bytes.data(), bytes.size());
    size = static_cast<std::uint8_t>(utf8.size());
  }
  return table;
}

TextForm MakeTextForm(bool raw, const CodePageTable* forced) {
  if (raw) return {kRawBytes, nullptr};
  if (forced == nullptr) return {kUtf8OrWindows1251, &kWindows1251};
  return {TextDelivery{forced, false}, forced};
}

}  // namespace pagefields::cli
