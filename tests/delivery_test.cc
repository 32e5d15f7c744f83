#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "plugin/copy_to_buffer.h"
#include "plugin/delivery.h"
#include "plugin/document.h"
#include "plugin/entities.h"
#include "plugin/field_values.h"
#include "tests/each_isa.h"
#include "tests/model/plain_model.h"
#include "text/utf8.h"

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

TEST(HasPageHead, TakesAnHtmlTagWithAttributesOrAnHtmlDoctype) {
  const std::pair<std::string, bool> cases[] = {
      {"<!DOCTYPE html>\n<html lang=\"en\">", true},
      {"<!doctype HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">", true},
      {"<html lang=en>", true},
      {"<HTML\n  xmlns=\"http://www.w3.org/1999/xhtml\">", true},
      {"<?xml version=\"1.0\"?>\n<Html\tdir=rtl>", true},
      {"<html>", false},  // no attribute: only the plugin's "<HTML>" within 64 bytes
      {"<html >", false},
      {"<html/>", false},
      {"<htmlx lang=en>", false},
      {"<!DOCTYPE htmlx>", false},
      {"<!DOCTYPE svg>", false},
      {"<!DOCTYPEhtml>", false},
      {"<html ", false},  // the attribute's first byte lies beyond the bytes read
      {"text <html lang=en> later", true},
      {"", false},
  };
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(HasPageHead(bytes), expected) << bytes;
}

TEST(DocumentText, GrowsKeepingItsBytesAndShortens) {
  DocumentText text("<html>");
  std::memcpy(text.Grow(3), "abc", 3);
  EXPECT_EQ(text.view(), "<html>abc");
  EXPECT_EQ(text.Grow(0), text.data() + 9);
  text.Shorten(7);
  EXPECT_EQ(text.view(), "<html>a");
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

// The one-pass decoder against replacing each entity in turn, on every kernel, on texts drawn
// from entity pieces, so that near misses and neighbouring entities are common; the longer
// texts put entities across block ends and in the last bytes, which are read from a copy.
TEST(DecodeEntities, DecodesAsReplacingEachEntityInTurn) {
  const char* pieces[] = {"&",      ";",       "laquo",   "nbsp",    "quot",
                          "&nbsp;", "&mdash;", "&ndash;", "&raquo;", "&laquo;",
                          "&quot;", "&nbsp",   "&mdash",  "a",       " "};
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> piece_count(1, 40);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int i = piece_count(random); i > 0; --i) text += pieces[pick(random)];
    std::string replaced = text;
    for (const auto& [entity, byte] : {std::pair{"&laquo;", "\xAB"},
                                       {"&raquo;", "\xBB"},
                                       {"&quot;", "\""},
                                       {"&nbsp;", " "},
                                       {"&ndash;", "\x96"},
                                       {"&mdash;", "\x97"}}) {
      replaced = model::ReplaceStr(replaced, entity, byte);
    }
    for (const simd::Isa isa : RunnableIsas()) {
      const simd::ScopedIsa held(isa);
      ASSERT_EQ(DecodeEntities(text), replaced) << simd::IsaName(isa) << ": " << text;
    }
  }
}

// A decoding told it has enough gives the whole decoding's start, at least that long, in all
// three forms: single bytes, UTF-8 from the code page, and UTF-8 kept as it stands.
TEST(DecodeEntities, StopsOnlyOnceItHasEnough) {
  const char* pieces[] = {"&nbsp;", "&mdash;", "&laquo;", "&",        "&quot",
                          "a",      "bc ",     "\xC0",    "\xD0\xB6", "\x97"};
  std::mt19937 random(11);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int i = 0; i < 6; ++i) text += pieces[pick(random)];
    const std::string whole[] = {DecodeEntities(text), DecodeEntitiesToUtf8(text, &kWindows1251),
                                 DecodeEntitiesToUtf8(text, nullptr)};
    for (std::size_t enough = 0; enough <= whole[1].size() + 1; ++enough) {
      const std::string part[] = {DecodeEntities(text, enough),
                                  DecodeEntitiesToUtf8(text, &kWindows1251, enough),
                                  DecodeEntitiesToUtf8(text, nullptr, enough)};
      for (std::size_t form = 0; form < std::size(part); ++form) {
        EXPECT_GE(part[form].size(), std::min(enough, whole[form].size())) << form << text;
        EXPECT_TRUE(whole[form].starts_with(part[form])) << form << " " << enough << " " << text;
      }
    }
  }
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

// A whole value as ComputeFields gives it.
RawFieldValue WholeValue(const std::string& text) {
  return {0, text, IsUtf8(std::string_view(text).substr(0, text.find('\0')))};
}

TEST(DeliveredText, DecodesThenStopsAtNulThenCuts) {
  EXPECT_EQ(DeliveredText(WholeValue("A&nbsp;B"), 0, kRawBytes), "A B");
  EXPECT_EQ(DeliveredText(WholeValue("A&nbsp;B"), 3, kRawBytes), "A ");
  EXPECT_EQ(DeliveredText(WholeValue("ab\0cd"s), 0, kRawBytes), "ab");
  EXPECT_EQ(DeliveredText(WholeValue("&mdash;&mdash;"), 2, kRawBytes), "\x97");
}

// A host buffer larger than a seventh of the address space asks for every raw byte; on a
// 32-bit build the product would otherwise wrap to a short cut.
TEST(RawBytesForDecoded, SaturatesInsteadOfWrapping) {
  constexpr std::size_t kMost = std::numeric_limits<std::size_t>::max();
  constexpr std::size_t kLargestExact = (kMost - 6) / 7;
  EXPECT_EQ(RawBytesForDecoded(1023), 7167u);
  EXPECT_EQ(RawBytesForDecoded(kLargestExact), kLargestExact * 7 + 6);
  EXPECT_EQ(RawBytesForDecoded(kLargestExact + 1), kMost);
  EXPECT_EQ(RawBytesForDecoded(kMost), kMost);
}

// Every text that begins with the raw bytes decodes to the same first settled bytes.
TEST(SettledDecodedBytes, CountsTheBytesNoLaterByteChanges) {
  EXPECT_EQ(SettledDecodedBytes(""), 0u);
  EXPECT_EQ(SettledDecodedBytes("abcdef"), 0u);
  EXPECT_EQ(SettledDecodedBytes("abcdefgh"), 2u);
  EXPECT_EQ(SettledDecodedBytes("&mdash;&mdash;"), 0u);
  const std::string raw = "a&nbsp;b&mdash;c&amp;&laquo;d&";
  for (std::size_t size = 0; size <= raw.size(); ++size) {
    const std::string prefix = raw.substr(0, size);
    const std::size_t settled = SettledDecodedBytes(prefix);
    for (const std::string_view tail : {"", "mdash;", "nbsp;x", "&quot;"}) {
      EXPECT_EQ(DecodeEntities(prefix + std::string(tail)).substr(0, settled),
                DecodeEntities(raw + std::string(tail)).substr(0, settled))
          << size;
    }
  }
}

// The Noindex row for a buffer is cut before decoding, first at a short cut and, when that
// does not settle the shown bytes, at the long one; either way the buffer shows what the
// whole text delivers.
TEST(DeliveredText, NoindexShowsTheWholeTextsStartHoweverDenseItsEntities) {
  const std::string contents[] = {"plain words ", "a&mdash;b ", "&nbsp;", "&amp;x&quot;",
                                  "&mdash;&mdash;&nbsp"};
  for (const std::string& content : contents) {
    std::string document = "<html>";
    for (int i = 0; i < 400; ++i) document += "<noindex><b>" + content + "</b></noindex>";
    const FieldSet wanted{Field::kNoindex};
    const RawFieldValue whole = ComputeFields(document, "", wanted)[Field::kNoindex];
    for (const TextDelivery& delivery : {kRawBytes, kUtf8OrWindows1251}) {
      for (const int max_len : {1, 2, 10, 100, 1024}) {
        const FieldValues values = ComputeFieldsForBuffer(document, "", wanted, max_len, delivery);
        EXPECT_EQ(DeliveredText(values[Field::kNoindex], max_len, delivery),
                  DeliveredText(whole, max_len, delivery))
            << content << " max_len " << max_len << " utf8 " << delivery.utf8();
      }
    }
  }
}

}  // namespace
}  // namespace pagefields
