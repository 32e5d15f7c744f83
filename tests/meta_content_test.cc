#include "extract/meta_content.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "extract/word_count.h"
#include "simd/isa.h"
#include "tests/each_isa.h"
#include "tests/model/plain_model.h"

namespace pagefields {
namespace {

// The meta tag's value: its raw bytes with their blanks normalised.
std::string MetaContent(std::string_view document, std::string_view meta_name) {
  return NormaliseBlanks(MetaContentView(document, meta_name));
}

struct MetaCase {
  std::string name;
  std::string document;
  std::string expected;
};

TEST(MetaContentView, SingleTags) {
  const MetaCase cases[] = {
      {"Description", "<meta name=description content=\"Fast cars\">", "Fast cars"},
      {"Description", "<META NAME=DESCRIPTION CONTENT=\"Fast cars\">", "Fast cars"},
      {"Keywords", "<meta name=keywords content=\"cars, speed\">", "cars, speed"},
      {"Keywords", "<meta name=Keywords content=a,b>", "a,b"},
      {"Description", "<meta content=\"Fast cars\" name=description>", ""},
      {"Description", "<meta name = description content=\"x\">", ""},
      {"Description", "<meta\r\n   name=description\r\ncontent=\"Fast cars\">", "Fast cars"},
      {"Description", "<meta\tname=description content=\"Fast cars\">", ""},  // tabs stay
      {"Description", "<meta name=description content=Fast cars>", "Fast cars"},
      {"Description", "<meta name=description content='Fast cars'>", "Fast cars"},
      {"Description", "<meta name=description content=\"Fast cars'>", "\"Fast cars'"},
      {"Description", "<meta name=description content=\" x \">", " x "},
      {"Description", "<meta name=description content=\"a  b\r\nc\">", "a b c"},
      {"Description", "<meta name=description content = \"x\">", "x"},
      {"Description", "<meta name=description content=\"\">", ""},
      {"Description", "<meta name=description content=x=y>", "x=y"},
      {"Description", "<meta name=description Fast cars>", "Fast cars"},
      {"Description", "<meta name=description lang=en content=\"Fast cars\">",
       "en content=\"Fast cars\""},
      {"Keywords", "<meta name=keywords a=b content=\"cars\">", "cars"},
      {"Keywords", "<meta name=keywords content=\"a > b\">", "\"a"},
      {"Description", "<meta name=descriptions content=\"D\">", "D"},
      {"Description", "<meta name=description content=\"D\" />", "\"D\" /"},
      {"Description", "<metadata name=description content=\"D\">", ""},
      {"Description", "<meta name=description content=\"D\"", ""},
      {"Description", "<meta name=description content=\">", ""},  // one quote is a pair
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MetaContent(c.document, c.name), c.expected) << c.document;
  }
}

TEST(MetaContentView, QuotedNamesMatch) {
  const MetaCase cases[] = {
      {"Description", "<meta name=\"description\" content=\"Fast cars\">", "Fast cars"},
      {"Keywords", "<meta name='keywords' content='a, b'>", "a, b"},
      {"Keywords", "<meta name=\"keywords\" content=\"cars\">", "cars"},
      {"Description", "<META NAME=\"Description\" CONTENT=\"x\">", "x"},
      {"Description", "<meta name=\"author\" content=\"description\">", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MetaContent(c.document, c.name), c.expected) << c.document;
  }
}

TEST(MetaContentView, WholeDocuments) {
  EXPECT_EQ(MetaContent("<meta name=author content=y><meta name=description content=\"D\">",
                        "Description"),
            "D");
  EXPECT_EQ(MetaContent("<html><p>no tags</p>", "Description"), "");
  // The first matching tag ends the scan, even with an empty value.
  EXPECT_EQ(MetaContent("<meta name=description><meta name=description content=x>", "Description"),
            "");
  // "<meta" occurrences sharing one ">" are all skipped when the first does not match.
  EXPECT_EQ(MetaContent("<meta <meta <meta name=x> <meta name=keywords content=k>", "Keywords"),
            "k");
  EXPECT_EQ(MetaContent("<meta name=keywords content=\"\xC0\xE1\xE2\">", "Keywords"),
            "\xC0\xE1\xE2");
}

TEST(MetaContentView, BlankRunsAroundTheNameAndTheCut) {
  const MetaCase cases[] = {
      {"Keywords", "<meta \r\n \n\r name=keywords content=k>", "k"},
      {"Keywords", "<meta\r\nname='Keywords'\ncontent='k'>", "k"},
      {"Keywords", "<metaname=keywords content=k>", ""},         // no blank before the name
      {"Keywords", "<meta\t name=keywords content=k>", ""},      // a tab is no blank here
      {"Keywords", "<metameta  name=keywords content=k>", "k"},  // any "meta" before the run
      {"Keywords", "<meta name=name=keywords content=k>", ""},
      {"Keywords", "<meta name=x meta name=keywords content=k>", "keywords content=k"},
      // The cut of 22 normalised bytes falls inside a run of blanks, or behind one.
      {"Keywords", "<meta   name=keywords\r\n\r\n  c=\r\n v \r\n>", "v"},
      {"Keywords", "<meta name=keywords c    =x>", "x"},
      {"Keywords", "<meta name=keywordsXY \r\n  >", ""},
      {"Keywords", "<meta name=keywordsXYZ  x>", "x"},
      {"Keywords", "<meta name=keywords content=\"a \r\n  b\r\n\">", "a b "},
      {"Description", "<meta name=\"description\"   content=\"  a  \">", " a "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MetaContent(c.document, c.name), c.expected) << c.document;
  }
}

TEST(MetaContentView, NamesWithBlanksAreMatchedOnTheNormalisedTag) {
  EXPECT_EQ(MetaContent("<meta name=a \r\n b content=x>", "a b"), "x");
  EXPECT_EQ(MetaContent("<meta name=a  b content=x>", "a  b"), "");
}

// The value from the raw tag bytes, its length and its word count agree with the plain
// rules on documents of near-miss tags built from a small alphabet of the markers.
TEST(MetaContentView, AgreesWithThePlainRules) {
  const std::vector<std::string> blanks = {"", " ", "  ", "\r\n", "\n \r", "\t", " \0"};
  const std::vector<std::string> quotes = {"", "\"", "'"};
  const std::vector<std::string> names = {"description", "KEYWORDS", "keywordsX", "x", "="};
  const std::vector<std::string> values = {"", "a b", " x=y ", "\r\n", ">", "<meta"};
  const std::vector<std::string> strays = {"<meta", "name=", "meta", "=", ">", "x", "  "};
  std::mt19937 random(5);
  const auto any = [&random](const std::vector<std::string>& choices) {
    return choices[std::uniform_int_distribution<std::size_t>(0, choices.size() - 1)(random)];
  };
  int values_found = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string document;
    for (int part = 0; part < 1 + round % 4; ++part) {
      document += "<meta" + any(blanks) + any({"name=", "NAME=", "nam="}) + any(quotes) +
                  any(names) + any(quotes) + any(blanks) + any({"content=", "c", ""}) +
                  any(blanks) + any(quotes) + any(values) + any(quotes) + any(blanks) +
                  any({">", ">", ""}) + any(strays);
    }
    for (const std::string name : {"Description", "Keywords"}) {
      const std::string expected = model::ModelMetaContent(document, name);
      const std::string_view raw = MetaContentView(document, name);
      values_found += expected.empty() ? 0 : 1;
      ASSERT_EQ(NormaliseBlanks(raw), expected) << document;
      ASSERT_EQ(NormalisedLength(raw), expected.size()) << document;
      ASSERT_EQ(CountWords(raw), model::ModelCountWords(expected)) << document;
      for (std::size_t cut : {0, 1, 5}) {
        ASSERT_EQ(NormaliseBlanks(raw, cut), expected.substr(0, cut)) << document;
      }
    }
  }
  EXPECT_GT(values_found, 1000);  // the tags are built to match often
}

// Blank runs at every place of a block and across its end, on every kernel, against the
// rule: CR and LF become blanks, and each run of blanks becomes one.
TEST(NormaliseBlanks, AgreesWithTheRuleAcrossBlockEndsOnEveryKernel) {
  const std::string alphabet("  \r\nx\0\xA0\t", 8);
  std::mt19937 random(13);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  for (std::size_t size = 0; size <= 200; ++size) {
    std::string raw(size, ' ');
    for (char& c : raw) c = alphabet[pick(random)];
    if (size % 3 == 0 && size >= 70) raw.replace(size / 3, size / 3, size / 3, ' ');  // long runs
    const auto blank = [&raw](std::size_t i) {
      return raw[i] == ' ' || raw[i] == '\r' || raw[i] == '\n';
    };
    std::string expected;
    for (std::size_t i = 0; i < size; ++i) {
      if (!blank(i)) {
        expected += raw[i];
      } else if (i == 0 || !blank(i - 1)) {
        expected += ' ';
      }
    }
    for (const simd::Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      ASSERT_EQ(NormaliseBlanks(raw), expected) << simd::IsaName(isa) << ", size " << size;
      ASSERT_EQ(NormalisedLength(raw), expected.size()) << simd::IsaName(isa) << ", size " << size;
      for (const std::size_t limit : {std::size_t{0}, std::size_t{1}, size / 2, size}) {
        ASSERT_EQ(NormaliseBlanks(raw, limit), expected.substr(0, limit))
            << simd::IsaName(isa) << ", size " << size << ", limit " << limit;
      }
    }
  }
}

}  // namespace
}  // namespace pagefields
