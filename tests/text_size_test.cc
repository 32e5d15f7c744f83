#include "extract/text_size.h"

#include <gtest/gtest.h>

#include <string>

#include "extract/noindex.h"
#include "tests/model/plain_model.h"

namespace pagefields {
namespace {

using namespace std::string_literals;

TEST(MeasureTextSize, CountsBytesOutsideTags) {
  const std::pair<std::string, int> cases[] = {
      {"abc", 3},
      {"a\r\nb\r\n", 2},  // CR LF line ends count nothing
      {"a\nb\n", 4},      // LF ends count one byte each
      {"a\rb", 3},
      {"\r\r\n\n", 2},  // the inner pair goes; what it leaves is a CR LF
      {"<p>x<P>", 5},
      {"<br>x<BR>", 5},
      {"<p class=a>x<br/>", 1},
      {"<b><i>word</i></b>", 4},
      {"a < b and c > d", 4},
      {"a <b", 4},
      {"a > b", 5},
      {"<!-- x > y -->z", 7},
      {"&nbsp;", 6},
      {"<\r\np>", 2},  // removing CR LF first makes a "<p>"
      {"\0<a>\0"s, 2},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(MeasureTextSize(text), expected) << text;
}

// The count runs over 64-byte blocks: every piece is put at every offset around a block end,
// in a text of filler, so spans, break tags and CR LF pairs cross the boundary. Both the
// widest instructions this processor has and the portable ones are checked.
TEST(MeasureTextSize, AgreesWithThePlainRulesAcrossBlockEnds) {
  const std::string pieces[] = {
      "<p>", "<bR>", "<b\r\nr>", "<\r\n\r\np>", "\r\r\n\n", "<a>",    "<",   ">",
      "\r",  "\n",   "<x<p>>",   "b\r\nr>",     "<\r\nb",   "p>\r\n", "<br", "<p"};
  const std::string fillers[] = {"x", "<", ">", "\r\n", "a>b<", "<p>"};
  const auto agrees = [](const std::string& text) {
    const std::int32_t expected = model::ModelTextSize(text);
    return MeasureTextSize(text, BlockInstructions::kWidest) == expected &&
           MeasureTextSize(text, BlockInstructions::kPortable) == expected;
  };
  for (const std::string& filler : fillers) {
    for (const std::string& piece : pieces) {
      for (std::size_t at = 52; at <= 70; ++at) {
        std::string text;
        while (text.size() < 140) text += filler;
        text.replace(at, 0, piece);
        text.replace(at + 64, 0, piece);
        ASSERT_TRUE(agrees(text)) << at << " " << text;
        text.resize(at + piece.size());
        ASSERT_TRUE(agrees(text)) << at << " " << text;
      }
    }
  }
}

TEST(ExtractNoindexText, JoinsFlattensTrimsAndStrips) {
  const std::pair<std::string, std::string> cases[] = {
      {"no blocks", ""},
      {"<noindex>A</noindex>x<NoIndex>C</NOINDEX>", "AC"},
      {"<noindex class=x>A</noindex>", ""},
      {"<noindex>A", ""},
      {"<noindex>A\r\nB</noindex>", "A B"},
      {"<noindex>A\nB\tC\r</noindex>", "A\nB\tC"},
      {"<noindex>\r</noindex><noindex>\nB</noindex>", "B"},  // a CR LF across two blocks
      {"<noindex>A<noindex>B</noindex>C</noindex>", "ABB"},
      {"<noindex><b> word </b></noindex>", " word "},
      {"<noindex> <b><i>word</i></b> </noindex>", "word"},
      {"<noindex>ab\0cd</noindex>"s, "ab"},
      {"<noindex>\0ab</noindex>"s, ""},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ExtractNoindexText(text), expected) << text;
  }
}

}  // namespace
}  // namespace pagefields
