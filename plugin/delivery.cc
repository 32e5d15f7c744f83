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
  // The buffer shows max_len - 1 bytes; a UTF-8 cut also looks at the byte behind them.
  const std::size_t shown = max_len > 0 ? static_cast<std::size_t>(max_len) - 1 : kWholeResult;
  if (!delivery.utf8()) {
    std::string text = DecodeEntities(raw, shown);
    text.resize(std::min(text.size(), shown));
    return text;
  }
  const bool keep = delivery.keep_utf8 && value.utf8;
  std::string text = DecodeEntitiesToUtf8(raw, keep ? nullptr : delivery.code_page,
                                          max_len > 0 ? shown + 1 : kWholeResult);
  if (max_len > 0) text.resize(Utf8CutLength(text, shown));
  return text;
}

}  // namespace pagefields
