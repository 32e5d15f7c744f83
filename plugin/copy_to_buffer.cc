#include "plugin/copy_to_buffer.h"

#include <cstring>

namespace pagefields {

// Measure, then copy whole or bounded: the results of lstrlenA, lstrcpyA and lstrcpynA.
void CopyToBuffer(char* destination, const char* source, int max_len) {
  if (destination == nullptr || source == nullptr || max_len < 1) return;
  const std::size_t length = std::strlen(source);
  const auto limit = static_cast<std::size_t>(max_len);
  const std::size_t copied = length < limit ? length : limit - 1;
  std::memcpy(destination, source, copied);
  destination[copied] = '\0';
}

}  // namespace pagefields
