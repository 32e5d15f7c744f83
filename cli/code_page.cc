#include "cli/code_page.h"

#include <iconv.h>

#include <cstring>

namespace pagefields::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

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

  // The UTF-8 form of one byte, or the replacement character when it has none.
  std::string Convert(unsigned char byte) {
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* in_at = in;
    char* out_at = out;
    std::size_t in_left = sizeof in;
    std::size_t out_left = sizeof out;
    ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    const std::size_t done = ::iconv(handle_, &in_at, &in_left, &out_at, &out_left);
    if (done == static_cast<std::size_t>(-1) || in_left != 0 || out_at == out || out_at - out > 3) {
      return std::string(kReplacement);
    }
    return std::string(out, out_at);
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::optional<CodePage> CodePage::Open(int number) {
  const std::string name = "CP" + std::to_string(number);
  Conversion conversion("UTF-8", name.c_str());
  if (!conversion.is_open()) return std::nullopt;
  CodePage code_page;
  for (int byte = 0; byte < 256; ++byte) {
    const std::string utf8 = conversion.Convert(static_cast<unsigned char>(byte));
    Utf8& entry = code_page.utf8_[static_cast<std::size_t>(byte)];
    utf8.copy(entry.bytes.data(), entry.bytes.size());
    entry.size = static_cast<std::uint8_t>(utf8.size());
  }
  return code_page;
}

std::string CodePage::ToUtf8(std::string_view text) const {
  std::string utf8;
  AppendUtf8(utf8, text);
  return utf8;
}

void CodePage::AppendUtf8(std::string& out, std::string_view text) const {
  // Room for the longest result is made first, then bytes are stored without further checks.
  const std::size_t start = out.size();
  out.resize(start + 3 * text.size());
  char* at = out.data() + start;
  for (const char byte : text) {
    const auto value = static_cast<unsigned char>(byte);
    if (value < 0x80) {  // ASCII maps to itself
      *at++ = byte;
      continue;
    }
    const Utf8& utf8 = utf8_[value];
    std::memcpy(at, utf8.bytes.data(), utf8.bytes.size());
    at += utf8.size;
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace pagefields::cli
