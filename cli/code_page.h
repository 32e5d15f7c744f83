#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "plugin/delivery.h"
#include "text/utf8.h"

namespace pagefields::cli {

// The table of the single-byte code page that iconv knows as `name` ("1251" stands for
// "CP1251", as the number of any Windows code page does), or nullopt with `error` set: iconv
// does not know it, or it is not a single-byte code page whose lower half is ASCII (the
// markers the fields are found by are ASCII). A byte the code page leaves undefined becomes
// U+FFFD.
std::optional<CodePageTable> OpenCodePage(std::string_view name, std::string& error);

// How the program writes text: the values as they are delivered, the paths for people.
struct TextForm {
  TextDelivery values = kUtf8OrWindows1251;
  // Paths that are UTF-8 are kept, others are decoded from this code page; null: raw bytes.
  const CodePageTable* paths = &kWindows1251;

  // `path` as this form shows it.
  std::string PathText(std::string_view path) const {
    return paths == nullptr ? std::string(path) : Utf8OrDecoded(path, *paths);
  }
};

// --raw: bytes as they are. auto (no forced code page): UTF-8 kept, other text decoded from
// Windows-1251, as the library delivers it on Linux. A forced code page decodes every value
// from it, and every path that is not UTF-8.
TextForm MakeTextForm(bool raw, const CodePageTable* forced);

}  // namespace pagefields::cli
