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

 private:
  std::string_view needle_;
  std::string_view haystack_;
  SearchFunction search_;
  bool asked_ = false;
  int found_ = 0;  // answer to the last search; 0 means none at or after that start
};

}  // namespace pagefields
