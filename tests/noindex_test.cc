// The Noindex text cut to a byte count is the first bytes of the whole text, and agrees with
// the plain model, however the blocks nest, share their closing marker or split a CR LF.
#include "extract/noindex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "extract/noindex_markers.h"
#include "simd/dispatch.h"
#include "simd/isa.h"
#include "tests/each_isa.h"
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

// Markers are sifted 64 places at a time; near misses and markers at every place
// relative to those chunks and to the end of the text agree with the plain model.
TEST(ExtractNoindexText, MarkersAtEveryPlace) {
  const std::string bodies[] = {
      "<noindex>a</noindex>",
      "<NoIndex>a</NOINDEX>b",
      "<noindex >a</noindex>",
      "<noindeX>a<noindex",
      "<n>a</noindex>",
      "<noindex>a</noindex",
      "<noindex>a</n>x</noindex>",
      "<noindex>a<\x0E>b</noindex>",
      "<\x4Eoindex>a</noindex>",
      "<noindex>a</\x4EOINDEX>",
      "<noinde\x18>a</noindex>",
      "<noindex>\0</noindex>"s,
  };
  for (const std::string& body : bodies) {
    for (std::size_t pad = 0; pad < 40; ++pad) {
      const std::string document = std::string(pad, '<') + body;
      EXPECT_EQ(ExtractNoindexText(document), model::ModelNoindexText(document)) << document;
      const std::string trailing = "<noindex>z</noindex>" + std::string(pad, 'x') + body;
      EXPECT_EQ(ExtractNoindexText(trailing), model::ModelNoindexText(trailing)) << trailing;
    }
  }
}

// The marker walk on every kernel finds the markers that a byte-by-byte search finds,
// wherever they stand relative to the 64-byte blocks and to the range's ends, and sees the
// NULs among the bytes it reads.
TEST(ForEachNoindexMarker, FindsEveryMarkerAndNulOnEveryKernel) {
  using Found = std::vector<std::pair<std::size_t, bool>>;
  const auto walk = [](std::string_view text, std::size_t from, std::size_t to) {
    Found found;
    bool saw_nul = false;
    simd::Dispatch([&](auto kernel) {
      ForEachNoindexMarkerWith<decltype(kernel)>(
          text, from, to,
          [&found](std::size_t at, bool closing) { found.emplace_back(at, closing); },
          [&saw_nul] { saw_nul = true; });
    });
    return std::pair{found, saw_nul};
  };
  const auto plain = [](std::string_view text, std::size_t from, std::size_t to) {
    Found found;
    for (std::size_t at = from; at < std::min(to, text.size()); ++at) {
      for (const bool closing : {false, true}) {
        const std::string_view marker = closing ? kNoindexClosing : kNoindexOpening;
        std::string lower(text.substr(at, marker.size()));
        for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        if (lower == marker) found.emplace_back(at, closing);
      }
    }
    // The bytes the walk reads: from + 7 up to to + 8 or the last byte.
    bool nul = false;
    const std::size_t end = std::min(std::min(to, text.size()) + 8, text.size() - 1);
    for (std::size_t at = from + 7; from < std::min(to, text.size()) && at < end; ++at) {
      nul = nul || text[at] == '\0';
    }
    return std::pair{found, nul};
  };
  for (std::size_t pad = 0; pad < 140; pad += 3) {
    std::string text = std::string(pad, 'x') + "<NoIndex></noindex>x>" +
                       std::string(pad % 70, '>') + "</noindeX><noindex>";
    // A NUL inside a block's contents on every third text, moving through the blocks.
    if (pad % 9 == 0) text.insert(pad + 9, 1, '\0');
    for (const auto& [from, to] : {std::pair<std::size_t, std::size_t>{0, text.size()},
                                   {pad / 2, pad + 12},
                                   {pad + 1, text.size() - 3},
                                   {pad + 10, pad + 10}}) {
      const auto expected = plain(text, from, to);
      for (const simd::Isa isa : RunnableIsas()) {
        const simd::ScopedIsa held(isa);
        EXPECT_EQ(walk(text, from, to), expected) << simd::IsaName(isa) << " pad " << pad;
      }
    }
  }
}

// Small-alphabet documents rich in markers, blanks, NULs, CR LF pairs and tag bytes, of every
// length up to a few blocks, on every kernel and at several cuts: the text agrees with the
// plain model, and a cut is its start.
TEST(ExtractNoindexText, AgreesWithThePlainModelOnEveryKernel) {
  const std::string pieces[] = {"<noindex>", "</noindex>", "<NOINDEX>", "<", ">",   "\r", "\n",
                                "\r\n",      " ",          "\t",        "a", "\0"s, "x>", "<b>"};
  std::mt19937 random(29);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  for (int round = 0; round < 1500; ++round) {
    std::string document;
    const std::size_t size = static_cast<std::size_t>(round) % 300;
    while (document.size() < size) document += pieces[pick(random)];
    const std::string whole = model::ModelNoindexText(document);
    for (const simd::Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      ASSERT_EQ(ExtractNoindexText(document), whole) << simd::IsaName(isa) << " " << document;
      for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{7}, whole.size()}) {
        ASSERT_EQ(ExtractNoindexText(document, cut), whole.substr(0, std::min(cut, whole.size())))
            << simd::IsaName(isa) << " cut " << cut << " " << document;
      }
    }
  }
}

// Long blank runs, long runs without a ">" and contents that reach over many blocks: the
// searches for the text's first byte, its last byte above 32 and its last ">" cross block
// ends in both directions.
TEST(ExtractNoindexText, LongRunsAcrossBlocks) {
  std::vector<std::string> documents;
  for (const std::size_t run : {std::size_t{1}, std::size_t{63}, std::size_t{64}, std::size_t{65},
                                std::size_t{130}, std::size_t{200}}) {
    const std::string blanks(run, ' ');
    const std::string letters(run, 'w');
    documents.push_back("<noindex>" + blanks + "a" + blanks + "</noindex>");
    documents.push_back("<noindex>" + blanks + "<b>" + letters + "<" + letters + "</noindex>");
    documents.push_back("<noindex>a>" + letters + "\r<noindex>\n" + blanks + "</noindex>");
    documents.push_back("<noindex>" + letters + "<noindex>" + blanks + "</noindex>" + blanks);
    documents.push_back("<noindex>" + blanks + "</noindex><noindex>\x01" + letters + ">" + blanks +
                        "\x7F</noindex>");
  }
  for (const std::string& document : documents) {
    const std::string whole = model::ModelNoindexText(document);
    for (const simd::Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      ASSERT_EQ(ExtractNoindexText(document), whole) << simd::IsaName(isa) << " " << document;
    }
  }
}

// A NUL between two blocks is no part of the joined contents; one inside a later block ends
// the text there.
TEST(ExtractNoindexText, NulBetweenBlocksIsPassedOver) {
  const std::string documents[] = {
      "<noindex>a</noindex>\0<noindex>b</noindex>"s,
      "<noindex>a</noindex>\0<noindex>b\0c</noindex>d"s,
      "<noindex> </noindex>\0\0<noindex>b<noindex>c\0</noindex>"s,
      "\0<noindex>a<noindex>b</noindex>\0"s,
  };
  for (const std::string& document : documents) {
    EXPECT_EQ(ExtractNoindexText(document), model::ModelNoindexText(document)) << document;
  }
  EXPECT_EQ(ExtractNoindexText(documents[0]), "ab");
  EXPECT_EQ(ExtractNoindexText(documents[1]), "ab");
}

// A cut text is first computed from the groups of a growing first part of the document; on
// long documents whose text fills the cut early, late, or never, it is the whole text's start.
TEST(ExtractNoindexText, CutFromTheFirstGroupsIsTheWholeTextsStart) {
  const std::string pieces[] = {"<noindex>", "</noindex>", "<b>", "<",    ">", "w",
                                "word ",     "\r",         "\n",  "\r\n", " ", "<noindex>a"};
  std::mt19937 random(17);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  for (int round = 0; round < 60; ++round) {
    std::string document;
    const std::size_t size = 500 + static_cast<std::size_t>(round) * 150;
    while (document.size() < size) {
      // Mostly whole blocks, so that the joined contents stay near the document's size.
      document += round % 3 == 0
                      ? pieces[pick(random)]
                      : "<noindex>" + pieces[pick(random)] + pieces[pick(random)] + "</noindex>";
      if (round % 5 == 0 && document.size() > size / 2) document += "<x" + pieces[pick(random)];
      if (round % 4 == 1 && document.size() > size * 3 / 4) document += "<noindex>\0</noindex>"s;
    }
    const std::string whole = model::ModelNoindexText(document);
    for (const std::size_t cut : {std::size_t{1}, std::size_t{40}, std::size_t{700},
                                  std::size_t{3000}, whole.size(), whole.size() + 1}) {
      ASSERT_EQ(ExtractNoindexText(document, cut), whole.substr(0, cut))
          << "round " << round << " cut " << cut;
    }
  }
}

// Long documents whose first parts give a text too short for the cut, so that later groups
// are taken in and the text goes on from behind the first parts' last ">": blocks that nest,
// tags cut off by a closing marker, CRs at block ends, ">" bytes far apart, and NULs that end
// the text in a late block or lie between blocks, on every kernel.
TEST(ExtractNoindexText, TextGoesOnFromTheFirstPartsOnEveryKernel) {
  const std::string pieces[] = {"<noindex>", "</noindex>", "<b>", "<",  ">",    "ww",
                                "\r",        "\n",         " ",   "x>", "<i w", "\r\n"};
  std::mt19937 random(31);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  for (int round = 0; round < 40; ++round) {
    std::string document;
    const std::size_t size = 1500 + static_cast<std::size_t>(round) * 300;
    while (document.size() < size) {
      document += "<noindex>";
      for (int i = round % 4; i >= 0; --i) document += pieces[pick(random)];
      document += "</noindex>";
      // Stretches without blocks, so that a part's joined contents run short of the cut.
      if (round % 3 == 0) document += std::string(pick(random) * 40, 'z');
      if (round % 5 == 1) document += "\0"s;
      if (round % 5 == 2 && document.size() > size * 2 / 3) document += "<noindex>w\0</noindex>"s;
    }
    const std::string whole = model::ModelNoindexText(document);
    for (const simd::Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      for (std::size_t cut = 1; cut < whole.size() + 2; cut += 1 + cut / 3) {
        ASSERT_EQ(ExtractNoindexText(document, cut), whole.substr(0, cut))
            << simd::IsaName(isa) << " round " << round << " cut " << cut;
      }
    }
  }
}

// After a try falls short, the next part is guessed from the pace of the text so far. Pages
// whose text thins out or thickens from part to part make the guess too short or too long;
// the text is the whole text's start either way, on every kernel.
TEST(ExtractNoindexText, TextWhosePaceChangesIsTheWholeTextsStart) {
  struct Page {
    const char* name;
    std::size_t (*gap)(int block);  // filler bytes in front of each block
  };
  const Page pages[] = {
      {"thinning out", [](int block) { return static_cast<std::size_t>(block * block / 8); }},
      {"thickening", [](int block) { return static_cast<std::size_t>(block < 200 ? 400 : 0); }},
      {"long gaps now and then",
       [](int block) { return std::size_t{block % 50 == 0 ? 5000u : 1u}; }},
  };
  for (const Page& page : pages) {
    std::string document;
    for (int block = 0; block < 400; ++block) {
      document += std::string(page.gap(block), 'z');
      document +=
          "<noindex>w" + std::to_string(block) + (block % 7 == 0 ? "<b>x</b>" : " ") + "</noindex>";
    }
    const std::string whole = model::ModelNoindexText(document);
    for (const simd::Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      for (const std::size_t cut : {std::size_t{100}, std::size_t{2049}, std::size_t{4097},
                                    whole.size() - 1, whole.size()}) {
        ASSERT_EQ(ExtractNoindexText(document, cut), whole.substr(0, cut))
            << page.name << " " << simd::IsaName(isa) << " cut " << cut;
      }
    }
  }
}

// Enough blocks and groups to fill many chunks of the lists of offsets kept per page.
TEST(ExtractNoindexText, ThousandsOfGroupsAgreeWithThePlainModel) {
  std::string document;
  for (int group = 0; group < 5000; ++group) {
    document += "<noindex>" + std::to_string(group);
    if (group % 3 == 0) document += "<noindex>+";
    document += "</noindex>.";
  }
  const std::string whole = model::ModelNoindexText(document);
  for (const simd::Isa isa : RunnableIsas()) {
    const simd::ScopedIsa held(isa);
    ASSERT_EQ(ExtractNoindexText(document), whole) << simd::IsaName(isa);
    ASSERT_EQ(ExtractNoindexText(document, 20000), whole.substr(0, 20000)) << simd::IsaName(isa);
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
