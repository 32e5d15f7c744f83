// All eighteen fields of realistic pages, through the loaded library.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "tests/loaded_plugin.h"
#include "tests/temp_folder.h"

namespace pagefields::testing {
namespace {

using Expected = std::variant<std::string, int>;

// `expected` holds every field's value in table order.
void ExpectAllFields(const std::string& page, const Expected (&expected)[kFieldCount]) {
  for (const Field field : kAllFields) {
    const Expected& value = expected[RowIndex(field)];
    if (const auto* text = std::get_if<std::string>(&value)) {
      EXPECT_EQ(AskText(page, field), AsDelivered(*text)) << RowOf(field).name;
    } else {
      EXPECT_EQ(AskNumber(page, field), std::get<int>(value)) << RowOf(field).name;
    }
  }
}

TEST(PageFields, EnglishPageWithCrLfLineEnds) {
  TempFolder site;
  site.Write("notes.html", "<html>");
  const std::string page = site.Write(
      "index.html",
      "<HTML>\r\n<head>\r\n<title>Fast cars &ndash; home</title>\r\n"
      "<meta name=\"description\" content=\"Fast cars, tuned &amp; tested\">\r\n"
      "<meta name=keywords content=\"cars, speed\">\r\n</head>\r\n<body>\r\n"
      "<h1>Garage</h1>\r\n"
      "<p>Read <a href=\"notes.html\">notes</a> or <a href=\"missing.html#top\">this</a>.<br>\r\n"
      "<a href=\"https://example.com\">web</a> <a href=\"mailto:a@b.c\">mail</a></p>\r\n"
      "<noindex>Ask &mdash; first</noindex>\r\n</body></HTML>\r\n");
  // clang-format off
  const Expected expected[kFieldCount] = {
      "Fast cars \x96 home", 22, 4,           // &ndash; is a word when counted
      "Fast cars, tuned &amp; tested", 29, 5,  // &amp; is never decoded
      "cars, speed", 11, 2,
      "Garage", "",                            // no H2
      4, 1, 1, 2,
      "missing.html",                          // the fragment is cut
      76,  // 22 + 6 + 19 + 8 + 17 text bytes, 2 + 2 for the <p> and the <br>
      "Ask \x97 first",
  };
  // clang-format on
  ExpectAllFields(page, expected);
}

TEST(PageFields, RussianPageInWindows1251WithLfLineEnds) {
  TempFolder site;
  const std::string page = site.Write(
      "ru.html",
      "<html>\n<title>\xC1\xFB\xF1\xF2\xF0\xFB\xE5 \xEC\xE0\xF8\xE8\xED\xFB</title>\n"
      "<meta name=description content='\xCB\xF3\xF7\xF8\xE8\xE5\r\n   "
      "\xEC\xE0\xF8\xE8\xED\xFB'>\n"
      "<h1>\xC3\xE0\xF0\xE0\xE6</h1><h2>\xD6\xE5\xED\xFB &laquo;2026&raquo;</h2>\n"
      "<a href=http://example.ru>\xF1\xE0\xE9\xF2</a> <A HREF=price.html>\xEF\xF0\xE0\xE9\xF1</A>\n"
      "<noindex>\xEE\xE4\xE8\xED</noindex><noindex>\xE4\xE2\xE0</noindex>\n");
  // clang-format off
  const Expected expected[kFieldCount] = {
      "\xC1\xFB\xF1\xF2\xF0\xFB\xE5 \xEC\xE0\xF8\xE8\xED\xFB", 14, 2,
      "\xCB\xF3\xF7\xF8\xE8\xE5 \xEC\xE0\xF8\xE8\xED\xFB", 13, 2,  // line break made one blank
      "", 0, 0,
      "\xC3\xE0\xF0\xE0\xE6", "\xD6\xE5\xED\xFB \xAB" "2026\xBB",
      2, 1, 0, 1,
      "price.html",
      65,  // 6 LF + 14 + 5 + 23 + 10 + 7 text bytes; the meta tag's CR LF counts nothing
      "\xEE\xE4\xE8\xED\xE4\xE2\xE0",
  };
  // clang-format on
  ExpectAllFields(page, expected);
}

TEST(PageFields, LinkRowsDeliverNumbersAndTheBrokenLinkAString) {
  TempFolder site;
  const std::string page = site.Write("p.html", "<html><a href=a.html><a href=b.html>");
  EXPECT_EQ(Ask(page, Field::kBrokenLink, 4).text(), "a.h");  // the host's buffer cuts it
  EXPECT_EQ(Ask(page, Field::kLinks, 4).result, PAGEFIELDS_FIELD_TYPE_NUMERIC32);
  site.Write("a.html", "x");
  EXPECT_EQ(AskText(page, Field::kBrokenLink), "b.html");
}

}  // namespace
}  // namespace pagefields::testing
