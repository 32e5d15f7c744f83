// String values as each host reads them, through the loaded library: UTF-8 on Linux, decided
// per value, and the page's own bytes on Windows.
#include <gtest/gtest.h>

#include <string>

#include "tests/loaded_plugin.h"
#include "tests/temp_folder.h"

namespace pagefields::testing {
namespace {

struct Case {
  std::string title;       // the raw bytes between <title> and </title>
  int max_len;             // the host buffer
  std::string on_linux;    // what a Linux host receives, UTF-8
  std::string on_windows;  // what a Windows host receives, the page's bytes
};

// clang-format off
const Case kCases[] = {
    // Windows-1251 text is decoded from it; UTF-8 text is kept.
    {"\xC4\xEE\xEC", 64, "Дом", "\xC4\xEE\xEC"},
    {"Дом — café", 64, "Дом — café", "Дом — café"},
    // UTF-8 and one Windows-1251 byte: not UTF-8, so all of it is read as Windows-1251.
    {"Дом \xC4", 64, "Р”РѕРј Д", "Дом \xC4"},
    // 0x98 is the one byte Windows-1251 leaves unassigned.
    {"a\x98z", 64, "a\xEF\xBF\xBDz", "a\x98z"},
    // The entities are the same characters in either encoding.
    {"&laquo;Дом&raquo;", 64, "«Дом»", "\xAB" "Дом" "\xBB"},
    {"&laquo;\xC4\xEE\xEC&raquo;", 64, "«Дом»", "\xAB\xC4\xEE\xEC\xBB"},
    {"\xC4&laquo;&ndash;&mdash;&raquo;&quot;&nbsp;", 64, "Д«–—»\" ", "\xC4\xAB\x96\x97\xBB\" "},
    {"&laquo;x&raquo; &ndash; &mdash;", 64, "«x» – —", "\xABx\xBB \x96 \x97"},
    // A two-byte character at the cut: MaxLen - 1 bytes, never half of it.
    {"Жb", 1, "", ""},
    {"Жb", 2, "", "\xD0"},
    {"Жb", 3, "Ж", "Ж"},
    {"Жb", 4, "Жb", "Жb"},
    // A three-byte one.
    {"—b", 1, "", ""},
    {"—b", 2, "", "\xE2"},
    {"—b", 3, "", "\xE2\x80"},
    {"—b", 4, "—", "—"},
    {"&mdash;b", 3, "", "\x97" "b"},
    {"&mdash;b", 4, "—", "\x97" "b"},
    // Windows-1251 letters become two bytes each, so fewer of them fit.
    {"\xC4\xEE\xEC", 3, "Д", "\xC4\xEE"},
    {"\xC4\xEE\xEC", 4, "Д", "\xC4\xEE\xEC"},
    {"\xC4\xEE\xEC", 5, "До", "\xC4\xEE\xEC"},
    // The value ends at its first NUL, and is judged up to it.
    {std::string("Дом\0\xC4", 8), 64, "Дом", "Дом"},
};
// clang-format on

TEST(TextEncoding, EachHostReadsStringsInItsOwnEncoding) {
  TempFolder folder;
  int page_number = 0;
  for (const Case& c : kCases) {
    const std::string page = folder.Write("p" + std::to_string(page_number++) + ".html",
                                          "<html><title>" + c.title + "</title>");
#if defined(_WIN32)
    const std::string& expected = c.on_windows;
#else
    const std::string& expected = c.on_linux;
#endif
    const Answer answer = Ask(page, Field::kTitle, c.max_len);
    EXPECT_EQ(answer.result, PAGEFIELDS_FIELD_TYPE_STRING);
    EXPECT_EQ(answer.text(), expected) << "title \"" << c.title << "\" max_len " << c.max_len;
    EXPECT_EQ(answer.bytes_written(c.max_len) <= static_cast<int>(expected.size()) + 1, true);
    EXPECT_TRUE(answer.guards_intact(c.max_len));
    // The length is that of the raw bytes, whatever the host receives.
    EXPECT_EQ(AskNumber(page, Field::kTitleLength), static_cast<int>(c.title.size()));
  }
}

// A value is judged whole: bytes beyond what the buffer shows still decide how it is read.
TEST(TextEncoding, ByteBeyondTheCutDecidesTheEncoding) {
  TempFolder folder;
  const std::string utf8_then_1251 = "Дом" + std::string(3000, 'x') + "\xC4";
  const std::string page = folder.Write("late.html", "<html><title>" + utf8_then_1251 +
                                                         "</title>"
                                                         "<meta name=description content=\"" +
                                                         utf8_then_1251 +
                                                         "\">"
                                                         "<noindex>" +
                                                         utf8_then_1251 + "</noindex>");
  for (const Field field : {Field::kTitle, Field::kDescription, Field::kNoindex}) {
#if defined(_WIN32)
    EXPECT_EQ(Ask(page, field, 8).text(), "Домx") << RowOf(field).name;
#else
    EXPECT_EQ(Ask(page, field, 8).text(), "Р”Р")
        << RowOf(field).name;  // D0 94 D0 read as Windows-1251
#endif
  }
}

// A Noindex text that the buffer cuts is judged further than the cut, unless the page is all
// ASCII. Pages that are ASCII through their first kilobytes are told apart by their later
// bytes, in the text or behind it.
TEST(TextEncoding, NoindexCutOnAPageAsciiAtFirstIsJudgedBeyondTheCut) {
  TempFolder folder;
  const std::string ascii_start = "<html><title>t</title><p>" + std::string(6000, 'a') + "</p>";
  const std::string utf8_then_1251 = "Дом" + std::string(3000, 'x') + "\xC4";
  const std::string utf8_only = "Дом" + std::string(3000, 'x');
  struct PageCase {
    std::string noindex;
    std::string behind;  // page bytes behind the text
    std::string on_linux;
  };
  const PageCase cases[] = {
      {utf8_then_1251, "", "Р”Р"},  // D0 94 D0 read as Windows-1251
      {utf8_only, "\xC4", "Домx"},  // a byte above 127 outside the text does not count
      {utf8_only, "", "Домx"},
      {"Домx", "\xC4", "Домx"},  // the whole text
  };
  int page_number = 0;
  for (const PageCase& c : cases) {
    const std::string page =
        folder.Write("a" + std::to_string(page_number++) + ".html",
                     ascii_start + "<noindex>" + c.noindex + "</noindex>" + c.behind);
#if defined(_WIN32)
    EXPECT_EQ(Ask(page, Field::kNoindex, 8).text(), "Домx");
#else
    EXPECT_EQ(Ask(page, Field::kNoindex, 8).text(), c.on_linux) << page_number;
#endif
  }
}

// A Noindex text, which nested blocks can make far longer than the page, is judged on its
// first 64 KiB only (a character cut there counting as whole); every other value whole.
TEST(TextEncoding, LongNoindexTextIsJudgedOnItsStart) {
  TempFolder folder;
  std::string letters;
  for (int i = 0; i < 40000; ++i) letters += "Ж";  // 80,000 bytes
  for (const std::string& start : {std::string(), std::string("a")}) {
    const std::string text = start + letters + "\xC4";  // a Windows-1251 byte at the end
    const std::string page = folder.Write(
        "long.html", "<html><title>" + text + "</title><noindex>" + text + "</noindex>");
#if defined(_WIN32)
    EXPECT_EQ(Ask(page, Field::kNoindex, 7).text(), (start + "ЖЖЖ").substr(0, 6));
#else
    // Noindex: its start is UTF-8. Title: judged whole, so read as Windows-1251 (D0 96 is Р–).
    EXPECT_EQ(Ask(page, Field::kNoindex, 7).text(), start.empty() ? "ЖЖЖ" : "aЖЖ");
    EXPECT_EQ(Ask(page, Field::kTitle, 7).text(), start + "Р–");
#endif
  }
}

}  // namespace
}  // namespace pagefields::testing
