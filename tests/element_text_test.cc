#include "extract/element_text.h"

#include <gtest/gtest.h>

#include <string>

#include "extract/word_count.h"

namespace pagefields {
namespace {

struct ElementCase {
  std::string document;
  std::string tag;
  std::string expected;
};

TEST(ElementTextView, TakesFirstOpeningAndNextClosingMarker) {
  const ElementCase cases[] = {
      {"<html><head><title>Hello World</title></head>", "Title", "Hello World"},
      {"<TITLE>A</title>", "Title", "A"},
      {"<title lang=x>A</title>", "Title", ""},
      {"<title >A</title>", "Title", ""},
      {"<title lang=x>A</title><title>B</title>", "Title", "B"},
      {"<h1 class=\"x\">A</h1><h1>B</h1>", "H1", "B"},
      {"</title><title>B</title>", "Title", "B"},
      {"</title><title>B", "Title", ""},
      {"<title></title>", "Title", ""},
      {"<h1>A<h1>B</h1>", "H1", "A<h1>B"},
      {"<title>\r\n A&nbsp;B\t</title>", "Title", "\r\n A&nbsp;B\t"},
      {"", "Title", ""},
      {"<h2>x</h2>", "H1", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ElementTextView(c.document, c.tag), c.expected) << c.document;
  }
}

TEST(CountWords, CountsRunsOfWordBytes) {
  const std::pair<std::string, int> cases[] = {
      {"", 0},
      {" .,;\r\n", 0},
      {"Hello, world!", 2},
      {"don't", 2},
      {"e-mail", 2},
      {"foo_bar", 2},
      {"a1b2", 1},
      {"Tom &amp; Jerry", 3},
      {"\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0", 2},  // a two-word Russian phrase
      {"\xA8\xB8", 1},                               // io in both cases is a letter
      {"\xCA\xE8\xBF\xE2", 2},                       // yi separates
      {"x\xA0y", 2},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(CountWords(text), expected) << "'" << text << "'";
  }
}

// Words are counted sixteen bytes at a time: every byte value, at every place in a chunk and
// across chunk borders, is a member or a separator as the set says.
TEST(CountWords, EveryByteAtEveryPlace) {
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    const bool member = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
                        (b >= 'a' && b <= 'z') || b == 0xA8 || b == 0xB8 || b >= 0xC0;
    for (std::size_t at = 0; at < 40; ++at) {
      std::string among_separators(41, '-');
      among_separators[at] = byte;
      EXPECT_EQ(CountWords(among_separators), member ? 1 : 0) << b << " at " << at;
      std::string inside_a_word(41, 'w');
      inside_a_word[at] = byte;
      EXPECT_EQ(CountWords(inside_a_word), member || at == 0 ? 1 : 2) << b << " at " << at;
    }
  }
}

TEST(CountWords, RunsAcrossChunkBorders) {
  EXPECT_EQ(CountWords(std::string(100, 'a')), 1);
  EXPECT_EQ(CountWords(std::string(15, 'a') + " " + std::string(17, 'b')), 2);
  EXPECT_EQ(CountWords(std::string(16, ' ') + "a" + std::string(15, ' ') + "b"), 2);
  std::string alternating;
  for (int i = 0; i < 99; ++i) alternating += i % 2 == 0 ? "a" : " ";
  EXPECT_EQ(CountWords(alternating), 50);
  // More starts than one pass of byte counters holds.
  std::string many;
  for (int i = 0; i < 20000; ++i) many += i % 3 == 0 ? "\xC0-" : "9 ";
  EXPECT_EQ(CountWords(many), 20000);
}

}  // namespace
}  // namespace pagefields
