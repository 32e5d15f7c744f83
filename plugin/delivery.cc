#include "plugin/delivery.h"

#include <algorithm>

#include "plugin/entities.h"

namespace pagefields {

std::size_t RawBytesForBuffer(int max_len) {
  if (max_len < 1) return 0;
  return RawBytesForDecoded(static_cast<std::size_t>(max_len));
}

std::string DeliveredText(const RawFieldValue& value, int max_len, const TextDelivery& delivery) {
  std::string_view raw = value.text;
  raw = raw.substr(0, raw.find('\0'));
  // Only the raw bytes that the buffer can show are decoded.
  if (max_len > 0) raw = raw.substr(0, RawBytesForBuffer(max_len));
  if (!delivery.utf8()) {
    std::string text = DecodeEntities(raw);
    if (max_len > 0) text.resize(std::min(text.size(), static_cast<std::size_t>(max_len) - 1));
    return text;
  }
  const bool keep = delivery.keep_utf8 && value.utf8;
  std::string text = DecodeEntitiesToUtf8(raw, keep ? nullptr : delivery.code_page);
  if (max_len > 0) text.resize(Utf8CutLength(text, static_cast<std::size_t>(max_len) - 1));
  return text;
}

}  // namespace pagefields
