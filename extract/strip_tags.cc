#include "extract/strip_tags.h"

#include <cstring>

namespace pagefields {

// One pass that moves the kept bytes forward. Removing a span and searching again from where
// it began is the same as searching on behind the span's ">" in the unedited text.
void StripTags(std::string& text) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* read = begin;
  char* write = text.data();
  while (read < end) {
    const auto* open = static_cast<const char*>(std::memchr(read, '<', end - read));
    const auto* close =
        open == nullptr ? nullptr : static_cast<const char*>(std::memchr(open, '>', end - open));
    if (close == nullptr) break;
    std::memmove(write, read, static_cast<std::size_t>(open - read));
    write += open - read;
    read = close + 1;
  }
  std::memmove(write, read, static_cast<std::size_t>(end - read));
  write += end - read;
  text.resize(static_cast<std::size_t>(write - begin));
}

}  // namespace pagefields
