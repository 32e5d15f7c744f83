#include "cli/code_page.h"

#include <iconv.h>

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
    if (done == static_cast<std::size_t>(-1) || in_left != 0 || out_at == out) {
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
    code_page.utf8_[byte] = conversion.Convert(static_cast<unsigned char>(byte));
  }
  return code_page;
}

std::string CodePage::ToUtf8(std::string_view text) const {
  std::string utf8;
  utf8.reserve(text.size() * 2);
  std::size_t run = 0;  // start of the ASCII bytes not yet copied; ASCII maps to itself
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) continue;
    utf8.append(text, run, i - run);
    utf8 += utf8_[byte];
    run = i + 1;
  }
  utf8.append(text, run, text.size() - run);
  return utf8;
}

}  // namespace pagefields::cli
