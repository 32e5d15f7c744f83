#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/copy_to_buffer.h"
#include "plugin/document.h"
#include "plugin/entities.h"
#include "plugin/field_values.h"

namespace pagefields {
namespace {

using namespace std::string_literals;

TEST(FolderOfPath, KeepsEverythingUpToTheLastSeparator) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\site\\index.html", "C:\\site\\"},
      {"C:/site/page.htm", "C:/site/"},
      {"C:\\site/sub\\page.htm", "C:\\site/sub\\"},
      {"C:page.htm", "C:"},
      {"page.htm", ""},
      {"/tmp/a:b", "/tmp/a:"},
      {"", ""},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(FolderOfPath(path), folder) << path;
}

TEST(DecodeEntities, DecodesTheSixExactEntitiesOnly) {
  EXPECT_EQ(DecodeEntities("&laquo;a&raquo; &quot;b&quot;&nbsp;c&ndash;d&mdash;"),
            "\xAB"
            "a\xBB \"b\" c\x96"
            "d\x97");
  EXPECT_EQ(DecodeEntities("&NBSP; &Quot; &amp; &lt; &#160;"), "&NBSP; &Quot; &amp; &lt; &#160;");
  EXPECT_EQ(DecodeEntities("&amp;nbsp;"), "&amp;nbsp;");
  EXPECT_EQ(DecodeEntities("&&nbsp;;"), "& ;");
  EXPECT_EQ(DecodeEntities(""), "");
}

TEST(CopyToBuffer, CutsToMaxLenMinusOne) {
  struct Case {
    const char* source;
    int max_len;
    std::string expected;
  };
  const Case cases[] = {
      {"Length(Title)", 5, "Leng"},
      {"Title", 5, "Titl"},   // MaxLen equal to the length drops the last byte
      {"Title", 6, "Title"},  // length + 1 holds it all
      {"Title", 1, ""},
      {"", 4, ""},
  };
  for (const auto& c : cases) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    CopyToBuffer(buffer, c.source, c.max_len);
    EXPECT_EQ(std::string(buffer), c.expected) << c.source << " " << c.max_len;
    EXPECT_EQ(buffer[c.expected.size() + 1], '#') << "wrote past the NUL";
  }
}

TEST(CopyToBuffer, WritesNothingBelowMaxLenOne) {
  char buffer[4] = {'#', '#', '#', '#'};
  CopyToBuffer(buffer, "abc", 0);
  CopyToBuffer(buffer, "abc", -7);
  EXPECT_EQ(std::string(buffer, 4), "####");
}

TEST(DeliveredText, DecodesThenStopsAtNulThenCuts) {
  EXPECT_EQ(DeliveredText("A&nbsp;B", 0), "A B");
  EXPECT_EQ(DeliveredText("A&nbsp;B", 3), "A ");
  EXPECT_EQ(DeliveredText("ab\0cd"s, 0), "ab");
  EXPECT_EQ(DeliveredText("&mdash;&mdash;", 2), "\x97");
}

}  // namespace
}  // namespace pagefields
