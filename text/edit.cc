#include "text/edit.h"

#include <cstring>
#include <vector>

#include "text/search.h"

namespace pagefields {
namespace {

using SearchFunction = int (*)(std::string_view, std::string_view, int);

std::string ReplaceAll(std::string_view source, std::string_view find, std::string_view replace,
                       SearchFunction search) {
  std::vector<int> matches;
  const int find_length = static_cast<int>(find.size());
  for (int p = search(find, source, 1); p > 0; p = search(find, source, p + find_length)) {
    matches.push_back(p);
  }
  if (matches.empty()) return std::string(source);

  const std::size_t result_length =
      source.size() - matches.size() * find.size() + matches.size() * replace.size();
  std::string result;
  result.reserve(result_length);
  std::size_t copied_up_to = 0;  // 0-based end of the source bytes already handled
  for (const int p : matches) {
    const std::size_t match_start = static_cast<std::size_t>(p) - 1;
    result.append(source.substr(copied_up_to, match_start - copied_up_to));
    result.append(replace);
    copied_up_to = match_start + find.size();
  }
  result.append(source.substr(copied_up_to));
  return result;
}

}  // namespace

void ReplaceInPlace(std::string& text, std::string_view find, std::string_view replace,
                    bool ignore_case) {
  if (replace.size() > find.size()) {
    text = ReplaceAll(text, find, replace, ignore_case ? PosText : PosStr);
    return;
  }
  const SearchFunction search = ignore_case ? PosText : PosStr;
  const int find_length = static_cast<int>(find.size());
  // Bytes at and after `read` are still as they were, so the search sees the original text.
  char* const data = text.data();
  std::size_t read = 0;
  std::size_t write = 0;
  for (int p = search(find, text, 1); p > 0; p = search(find, text, p + find_length)) {
    const std::size_t match = static_cast<std::size_t>(p) - 1;
    std::memmove(data + write, data + read, match - read);
    write += match - read;
    if (!replace.empty()) std::memcpy(data + write, replace.data(), replace.size());
    write += replace.size();
    read = match + find.size();
  }
  if (write == read) return;  // nothing shrank: the rest already stands where it belongs
  std::memmove(data + write, data + read, text.size() - read);
  text.resize(write + text.size() - read);
}

}  // namespace pagefields
