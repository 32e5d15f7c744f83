#include "extract/text_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "extract/noindex.h"
#include "simd/isa.h"
#include "simd/kernels.h"
#include "tests/each_isa.h"
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
// in a text of filler, so spans, break tags and CR LF pairs cross the boundary, and the text
// is also cut right behind the piece. Every kernel this processor runs is checked.
TEST(MeasureTextSize, AgreesWithThePlainRulesAcrossBlockEnds) {
  const std::string pieces[] = {
      "<p>", "<bR>", "<b\r\nr>", "<\r\n\r\np>", "\r\r\n\n", "<a>",         "<",
      ">",   "\r",   "\n",       "<x<p>>",      "b\r\nr>",  "<\r\nb",      "p>\r\n",
      "<br", "<p",   "<p\r\n>",  "<br\r\n>",    "<b<p>",    "\r\n<p>\r\n", "<\r\n"};
  const std::string fillers[] = {"x", "<", ">", "\r\n", "a>b<", "<p>", "\r", "<b"};
  const std::vector<simd::Isa> isas = RunnableIsas();
  const auto agrees = [&](const std::string& text) {
    const std::int32_t expected = model::ModelTextSize(text);
    for (const simd::Isa isa : isas) {
      const simd::ScopedIsa held(isa);
      if (MeasureTextSize(text) != expected) return false;
    }
    return true;
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

// Random texts over the bytes the count reads, of every length up to a few blocks, on every
// kernel: spans that open and close in any block, unclosed spans, break tags with and without
// pairs inside them.
TEST(MeasureTextSize, AgreesWithThePlainRulesOnMarkerRichTexts) {
  const std::string pieces[] = {"<",  ">",    "p", "B",   "r",    "\r",
                                "\n", "\r\n", "x", "<p>", "<Br>", "\0"};
  std::mt19937 random(23);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  for (int round = 0; round < 1500; ++round) {
    std::string text;
    const std::size_t size = static_cast<std::size_t>(round) % 260;
    while (text.size() < size) text += pieces[pick(random)];
    const std::int32_t expected = model::ModelTextSize(text);
    for (const simd::Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      ASSERT_EQ(MeasureTextSize(text), expected) << simd::IsaName(isa) << " " << text;
    }
  }
}

// The span still open at the end is counted as the blocks go: its count restarts at every
// ">" that ends a span, wherever the last one falls in its block, and runs over blocks with
// no ">" at all, with the pairs and break tags inside it and spans that closed before it.
TEST(MeasureTextSize, OpenSpanCountedFromItsLastEndOnAgreesWithThePlainRules) {
  const std::string heads[] = {"", "ab", "<a>", "<a>\r\n<p>x", "<b>c<br>d"};
  const std::string tails[] = {
      "<" + std::string(150, 'x'),
      "yy<" + std::string(70, 'x') + "\r\n<p><BR>" + std::string(80, '<'),
      "<<p>" + std::string(64, '\r') + "\n<Br>",
      "\r\n<p><BR>\r\n<p><BR>\r\n<p><BR>\r\n<p><BR>\r\n<p><BR>\r\n<p><BR>\r\n<p><BR><B",
  };
  for (const std::string& head : heads) {
    for (const std::string& tail : tails) {
      for (std::size_t last_end = 0; last_end < 2 * simd::kBlockSize + 8; ++last_end) {
        std::string text = head;
        while (text.size() < last_end) text += (text.size() % 7 == 3) ? '<' : 'z';
        text += '>';
        text += tail;
        const std::int32_t expected = model::ModelTextSize(text);
        for (const simd::Isa isa : RunnableIsas()) {
          const simd::ScopedIsa held(isa);
          ASSERT_EQ(MeasureTextSize(text), expected) << simd::IsaName(isa) << " " << text;
        }
      }
    }
  }
}

// A span that never closes keeps its bytes wherever it starts, however far its "<" lies
// behind the last ">", and pairs and break tags in it count as they do outside.
TEST(MeasureTextSize, OpenSpanAgreesWithThePlainRulesWhenItsLastEndIsRunsBack) {
  // A page that ends inside a span is counted again from the run of 16 blocks that holds its
  // last ">". Here that ">" moves around the ends of the first runs, behind tags, break tags
  // and pairs that cross them at every phase, and the open span behind it is short or runs
  // over more runs.
  const std::string body = "ab<cd e>f<p>g\r\n<bR>h<i\r\nj>";
  const std::string tails[] = {"<" + std::string(40, 'x'),
                               "<b" + std::string(1500, 'y') + "\r\n<P>"};
  for (const std::size_t run_end : {std::size_t{1024}, std::size_t{2048}}) {
    for (std::size_t last_end = run_end - 2 * body.size(); last_end < run_end + 8; ++last_end) {
      std::string head;
      while (head.size() < last_end) head += body[(head.size() + last_end) % body.size()];
      for (const std::string& tail : tails) {
        const std::string text = head + ">" + tail;
        const std::int32_t expected = model::ModelTextSize(text);
        for (const simd::Isa isa : RunnableIsas()) {
          const simd::ScopedIsa held(isa);
          ASSERT_EQ(MeasureTextSize(text), expected)
              << simd::IsaName(isa) << ", last end " << last_end << ", tail " << tail.size();
        }
      }
    }
  }
}

TEST(MeasureTextSize, UnclosedSpanKeepsItsBytes) {
  const std::pair<std::string, int> cases[] = {
      {"a>b<" + std::string(200, 'x'), 204},
      {"<a>" + std::string(130, 'y') + "<" + std::string(70, '<'), 201},
      {std::string(100, '<'), 100},
      {"<x>" + std::string(90, 'z') + "<q\r\n<p>w<BR>", 90 + 2 + 2 + 1 + 2},
  };
  for (const simd::Isa isa : RunnableIsas()) {
    const simd::ScopedIsa held(isa);
    for (const auto& [text, expected] : cases) {
      EXPECT_EQ(MeasureTextSize(text), expected) << simd::IsaName(isa) << " " << text;
    }
  }
}

// Blocks full of break tags, pairs and spans, where the last ">" that ends a span lies many
// blocks before the end: every later ">" belongs to a break tag.
TEST(MeasureTextSize, DenseBreakTagsAgreeWithThePlainRules) {
  std::vector<std::string> texts;
  for (const std::string unit : {"\r\n<p><BR>", "<p><br><P>x", "<b><br>", "<Br><bR>\r\n"}) {
    for (const std::string end : {"", "<", "<B", "<p", "<br", "x>"}) {
      std::string text = "<a>";
      for (int i = 0; i < 40; ++i) text += unit;
      texts.push_back(text + end);
      texts.push_back(text.substr(1) + end);
    }
  }
  for (const std::string& text : texts) {
    const std::int32_t expected = model::ModelTextSize(text);
    for (const simd::Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      ASSERT_EQ(MeasureTextSize(text), expected) << simd::IsaName(isa) << " " << text;
    }
  }
}

// The last blocks, those without three bytes behind them in the text, are read from a padded
// copy: every length around that switch, with break tags, pairs and joins on every byte of
// the last blocks.
TEST(MeasureTextSize, TextsOfEveryLengthAgreeWithThePlainRules) {
  const std::string units[] = {"<p><Br>\r\n<b", "<b\r\nr>x<\r\np>", "a<q<br>"};
  for (const std::string& unit : units) {
    std::string whole;
    while (whole.size() < 3 * simd::kBlockSize + 8) whole += unit;
    for (std::size_t size = 0; size <= whole.size(); ++size) {
      const std::string text = whole.substr(0, size);
      const std::int32_t expected = model::ModelTextSize(text);
      for (const simd::Isa isa : RunnableIsas()) {
        const simd::ScopedIsa held(isa);
        ASSERT_EQ(MeasureTextSize(text), expected) << simd::IsaName(isa) << " " << text;
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
