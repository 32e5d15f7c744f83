#pragma once

#include <cstddef>
#include <string>

#include "plugin/field_values.h"
#include "text/utf8.h"

namespace pagefields {

// How string values reach a host. One rule serves every host; only the encoding differs:
// - raw bytes (no code page): the entities become the single bytes AB BB 22 20 96 97, and
//   the host reads the bytes in its own code page (Windows hosts: the system's ANSI one);
// - UTF-8 (a code page): a value whose raw bytes, up to the first NUL, are strict UTF-8 is
//   kept as it is when `keep_utf8`, and the entities become « » " space – — in UTF-8; any
//   other value is decoded from the code page, the entities alike.
// Either way the value ends at its first NUL and a host buffer of MaxLen bytes receives at
// most MaxLen - 1 bytes and a NUL; a UTF-8 value is cut before a character it cannot hold
// whole.
struct TextDelivery {
  const CodePageTable* code_page = nullptr;
  bool keep_utf8 = true;

  bool utf8() const { return code_page != nullptr; }
  // Whether delivery needs to know if each whole value is UTF-8.
  bool judges_utf8() const { return code_page != nullptr && keep_utf8; }
};

inline constexpr TextDelivery kRawBytes{};
inline constexpr TextDelivery kUtf8OrWindows1251{&kWindows1251, true};

// Windows hosts read plugin strings in the ANSI code page, Linux desktops read them as UTF-8.
#if defined(_WIN32)
inline constexpr TextDelivery kHostDelivery = kRawBytes;
#else
inline constexpr TextDelivery kHostDelivery = kUtf8OrWindows1251;
#endif

// The raw bytes of a string value that settle all a host buffer of `max_len` bytes shows,
// and the byte behind its cut; 0 when max_len is below 1.
std::size_t RawBytesForBuffer(int max_len);

// The bytes a host buffer of `max_len` bytes receives for the string value `value`, without
// the NUL. A max_len of 0 or less means no cut. `value.text` may hold only the value's first
// RawBytesForBuffer(max_len) bytes; `value.utf8` tells about the whole value.
std::string DeliveredText(const RawFieldValue& value, int max_len, const TextDelivery& delivery);

}  // namespace pagefields
