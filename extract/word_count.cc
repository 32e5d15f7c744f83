#include "extract/word_count.h"

namespace pagefields {

int CountWords(std::string_view text) {
  int count = 0;
  bool in_word = false;
  for (const char byte : text) {
    const bool member = IsWordChar(byte);
    if (member && !in_word) ++count;
    in_word = member;
  }
  return count;
}

}  // namespace pagefields
