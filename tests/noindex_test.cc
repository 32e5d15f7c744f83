// The Noindex text cut to a byte count is the first bytes of the whole text, and agrees with
// the plain model, however the blocks nest, share their closing marker or split a CR LF.
#include "extract/noindex.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/model/plain_model.h"

namespace pagefields {
namespace {

using namespace std::string_literals;

std::string Repeat(const std::string& unit, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += unit;
  return text;
}

const std::string kDocuments[] = {
    "<noindex>A<noindex>B</noindex>C</noindex>",
    Repeat("<noindex>x", 30) + "</noindex>",
    Repeat("<noindex><b", 10) + "</noindex>" + Repeat("<noindex>y>z", 5) + "</noindex>",
    "<noindex>a\r</noindex><noindex></noindex><noindex>\nb<noindex>\r</noindex>",
    "<noindex>  \r\n<noindex> <i>w</i> \r</noindex><noindex>\n</noindex>",
    "<noindex>a<b</noindex><noindex>c<noindex>d</noindex>e<x",
    "<noindex>p>q<noindex>r<s</noindex><noindex>t\0u</noindex>v"s,
    "<noindex> </noindex><noindex>\x01<NOINDEX>k&nbsp;<</noindex>",
    Repeat("<noindex>\r", 8) + "\n</noindex>" + Repeat("<noindex><>", 4) + "</noindex>",
};

TEST(ExtractNoindexText, CutIsThePrefixOfTheWholeText) {
  for (const std::string& document : kDocuments) {
    const std::string whole = ExtractNoindexText(document);
    EXPECT_EQ(whole, model::ModelNoindexText(document)) << document;
    for (std::size_t cut = 0; cut <= whole.size() + 1; ++cut) {
      EXPECT_EQ(ExtractNoindexText(document, cut), whole.substr(0, cut))
          << document << " cut " << cut;
    }
  }
}

TEST(ExtractNoindexText, ManyOpeningsBeforeOneClosingCostOnlyTheCut) {
  // The joined contents of this document would hold about 20 GB.
  const std::string document = Repeat("<noindex>ab", 100000) + "</noindex>";
  const std::string cut = ExtractNoindexText(document, 1000);
  ASSERT_EQ(cut.size(), 1000u);
  EXPECT_EQ(cut, Repeat("ab", 500));
}

}  // namespace
}  // namespace pagefields
