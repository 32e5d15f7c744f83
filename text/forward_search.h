#pragma once

#include <string_view>

#include "text/search.h"

namespace pagefields {

// A search for one needle in one haystack that is asked again and again with start
// positions that never decrease, as a left-to-right walk asks. The last answer stays valid
// for every later start up to it (no match can begin between the old start and the answer),
// so the walk as a whole scans the haystack once instead of once per question.
class ForwardSearch {
 public:
  using SearchFunction = int (*)(std::string_view, std::string_view, int);
  static constexpr int kShortRange = 128;

  ForwardSearch(std::string_view needle, std::string_view haystack, SearchFunction search)
      : needle_(needle), haystack_(haystack), search_(search) {}

  // The result of search(needle, haystack, start); `start` must not be below the start of
  // the previous call.
  int From(int start) {
    if (!asked_ || (found_ != 0 && found_ < start)) {
      found_ = search_(needle_, haystack_, start);
      asked_ = true;
    }
    return found_;
  }

  // The first match that lies wholly inside the 1-based range [begin, end), or 0; `begin`
  // must not be below the start of the previous call. A short range that no earlier call
  // searched is searched by itself, which costs its length and leaves the remembered answer
  // alone; any other goes through From. Either way each byte is searched at most twice.
  int Within(int begin, int end) {
    if (end - begin < static_cast<int>(needle_.size())) return 0;
    if (end - begin <= kShortRange && begin >= searched_to_) {
      searched_to_ = end;
      const int at = search_(needle_,
                             haystack_.substr(static_cast<std::size_t>(begin) - 1,
                                              static_cast<std::size_t>(end - begin)),
                             1);
      return at == 0 ? 0 : begin - 1 + at;
    }
    const int at = From(begin);
    return at != 0 && at + static_cast<int>(needle_.size()) <= end ? at : 0;
  }

 private:
  std::string_view needle_;
  std::string_view haystack_;
  SearchFunction search_;
  bool asked_ = false;
  int found_ = 0;        // answer to the last search; 0 means none at or after that start
  int searched_to_ = 0;  // end of the last range that Within searched by itself
};

}  // namespace pagefields
