#include "extract/meta_content.h"

#include <gtest/gtest.h>

#include <string>

namespace pagefields {
namespace {

struct MetaCase {
  std::string name;
  std::string document;
  std::string expected;
};

TEST(ExtractMetaContent, SingleTags) {
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
    EXPECT_EQ(ExtractMetaContent(c.document, c.name), c.expected) << c.document;
  }
}

TEST(ExtractMetaContent, QuotedNamesMatch) {
  const MetaCase cases[] = {
      {"Description", "<meta name=\"description\" content=\"Fast cars\">", "Fast cars"},
      {"Keywords", "<meta name='keywords' content='a, b'>", "a, b"},
      {"Keywords", "<meta name=\"keywords\" content=\"cars\">", "cars"},
      {"Description", "<META NAME=\"Description\" CONTENT=\"x\">", "x"},
      {"Description", "<meta name=\"author\" content=\"description\">", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractMetaContent(c.document, c.name), c.expected) << c.document;
  }
}

TEST(ExtractMetaContent, WholeDocuments) {
  EXPECT_EQ(ExtractMetaContent("<meta name=author content=y><meta name=description content=\"D\">",
                               "Description"),
            "D");
  EXPECT_EQ(ExtractMetaContent("<html><p>no tags</p>", "Description"), "");
  // The first matching tag ends the scan, even with an empty value.
  EXPECT_EQ(
      ExtractMetaContent("<meta name=description><meta name=description content=x>", "Description"),
      "");
  // "<meta" occurrences sharing one ">" are all skipped when the first does not match.
  EXPECT_EQ(
      ExtractMetaContent("<meta <meta <meta name=x> <meta name=keywords content=k>", "Keywords"),
      "k");
  EXPECT_EQ(ExtractMetaContent("<meta name=keywords content=\"\xC0\xE1\xE2\">", "Keywords"),
            "\xC0\xE1\xE2");
}

}  // namespace
}  // namespace pagefields
