// The literal text steps the plain model is made of: the model is the judge of the library's
// values, so its own steps are pinned here, case by case.
#include <gtest/gtest.h>

#include <string>

#include "tests/model/plain_model.h"

namespace pagefields::model {
namespace {

using namespace std::string_literals;

struct ReplaceCase {
  std::string source;
  std::string find;
  std::string replace;
  std::string expected;
};

TEST(ReplaceStr, ReplacesLeftToRightWithoutRescanning) {
  const ReplaceCase cases[] = {
      {"aaaa", "aa", "b", "bb"},
      {"aaa", "aa", "b", "ba"},   // never overlapping
      {"aa", "a", "aa", "aaaa"},  // inserted text not rescanned
      {"abc", "abc", "", ""},
      {"abc", "", "x", "abc"},  // all removed; empty find
      {"", "a", "x", ""},
      {"ab", "abc", "x", "ab"},          // empty source; find too long
      {"a\r\nb\r\n", "\r\n", "", "ab"},  // match at the very end
      {"x\0y"s, "\0"s, "-", "x-y"},      // NUL is an ordinary byte
      {"aAa", "A", "b", "aba"},          // exact case
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceStr(c.source, c.find, c.replace), c.expected) << "source '" << c.source;
  }
}

TEST(ReplaceText, KeepsCaseAroundMatches) {
  EXPECT_EQ(ReplaceText("x<BR>y<Br>z", "<br>", "\r\n"), "x\r\ny\r\nz");
  EXPECT_EQ(ReplaceText("Xa<P>bY", "<p>", "<p>"), "Xa<p>bY");
  EXPECT_EQ(ReplaceText("\xE0\xC0", "\xC0", "-"), "--");
}

struct DeleteCase {
  std::string text;
  int index;
  int count;
  std::string expected;
};

TEST(DeleteChars, FollowsRangeRules) {
  const DeleteCase cases[] = {
      {"abcdef", 2, 3, "aef"},     {"abcdef", 3, 4, "ab"},  // range ending at the last byte
      {"abcdef", 4, 10, "abc"},    {"abcdef", 1, 6, ""},    // past the end; everything
      {"abcdef", 6, 1, "abcde"},   {"abcdef", 1, 1, "bcdef"},   {"abcdef", 0, 2, "abcdef"},
      {"abcdef", 7, 1, "abcdef"},  // index outside the text
      {"abcdef", 2, 0, "abcdef"},  {"abcdef", 2, -3, "abcdef"}, {"", 0, 1, ""},
      {"abc", 2, 2147483647, "a"},  // huge count cannot overflow
  };
  for (auto c : cases) {
    DeleteChars(c.text, c.index, c.count);
    EXPECT_EQ(c.text, c.expected) << "index " << c.index << " count " << c.count;
  }
}

TEST(TrimInPlace, StripsBlankBytesAtBothEnds) {
  const std::pair<std::string, std::string> cases[] = {
      {"\t a b\r\n", "a b"},  {"\x01\x10 \x20\0"s, ""}, {"\xA0x\xA0", "\xA0x\xA0"},
      {"  a\0b  "s, "a\0b"s}, {"\0\x01x\x02"s, "x"},    {"", ""},
  };
  for (auto [text, expected] : cases) {
    TrimInPlace(text);
    EXPECT_EQ(text, expected);
  }
}

TEST(TrimCopy, EndsAtFirstNulAfterLeadingBlanks) {
  const std::pair<std::string, std::string> cases[] = {
      {"  ab  ", "ab"},   {"ab \0cd"s, "ab "},  // the blank before the NUL stays
      {"\0abc"s, ""},     {" \0 x"s, ""},
      {" ab\0  "s, "ab"},  // the trailing NUL is blank to the right trim
      {" \x01x ", "x"},   {"", ""},
      {"   ", ""},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(TrimCopy(text), expected) << "'" << text << "'";
  }
}

TEST(StripTags, RemovesSpansLeftToRight) {
  const std::pair<std::string, std::string> cases[] = {
      {"a<b>c</b>d", "acd"}, {"<<b>>x", ">x"},  // a "<" inside a span goes with it
      {"<><><>", ""},        {"a<b", "a<b"},    // no ">" after it: the rest stays
      {"a<b>c<d", "ac<d"},   {"a>b", "a>b"},   {"x<!-- a > b -->y", "x b -->y"}, {"", ""},
  };
  for (auto [text, expected] : cases) {
    StripTags(text);
    EXPECT_EQ(text, expected);
  }
}

}  // namespace
}  // namespace pagefields::model
