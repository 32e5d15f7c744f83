#include "text/edit.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/model/plain_model.h"

namespace pagefields {
namespace {

using namespace std::string_literals;

struct ReplaceCase {
  std::string source;
  std::string find;
  std::string replace;
};

// Shrinking replacements work in place; growing ones build the result once. Either way the
// bytes are those of the literal replace, exact or ignoring case.
TEST(ReplaceInPlace, GivesTheSameBytesAsTheLiteralReplace) {
  const ReplaceCase cases[] = {
      {"a\r\nb\r\n", "\r\n", ""},
      {"\r\r\n\n", "\r\n", ""},
      {"x<P>y<p>", "<p>", "\r\n"},
      {"<br><BR><br", "<br>", "\r\n"},
      {"aaaa", "aa", "b"},
      {"aaa", "aa", "b"},
      {"none", "<p>", "\r\n"},
      {"", "\r\n", " "},
      {"ab\0ab"s, "ab", "c"},
      {"aa", "a", "aa"},
      {"abc", "", "x"},
      {"abc", "abc", ""},
      {"aAa", "A", "b"},
      {"\xE0\xC0", "\xC0", "-"},
      {"ab", "abc", "x"},
  };
  for (const auto& c : cases) {
    for (const bool ignore_case : {false, true}) {
      std::string text = c.source;
      ReplaceInPlace(text, c.find, c.replace, ignore_case);
      const std::string copied = ignore_case ? model::ReplaceText(c.source, c.find, c.replace)
                                             : model::ReplaceStr(c.source, c.find, c.replace);
      EXPECT_EQ(text, copied) << "'" << c.source << "' ignore_case " << ignore_case;
    }
  }
}

}  // namespace
}  // namespace pagefields
