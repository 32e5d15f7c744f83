// The command line's text helpers: escapes that keep a value on its line, code pages.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "cli/code_page.h"
#include "cli/flat_string_map.h"
#include "cli/folder_walk.h"
#include "cli/line_escape.h"
#include "cli/line_text.h"
#include "cli/progress.h"
#include "cli/target_cache.h"
#include "extract/file_probe.h"
#include "tests/temp_folder.h"

namespace pagefields::cli {
namespace {

using namespace std::string_literals;

TEST(EscapeForLine, WritesBackslashAndControlBytesAsEscapes) {
  const struct {
    std::string text;
    std::string escaped;
  } cases[] = {
      {"", ""},
      {"plain text", "plain text"},
      {"a\tb\nc\rd", "a\\tb\\nc\\rd"},
      {"C:\\site\\", "C:\\\\site\\\\"},
      {"\x01\x1F\x7F"s, "\\x01\\x1F\\x7F"},
      {"nul\0byte"s, "nul\\x00byte"},
      {"\xD0\x9F\xC2\xA0\xFF", "\xD0\x9F\xC2\xA0\xFF"},  // bytes from 0x80 up are kept
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeForLine(c.text), c.escaped) << c.text;
}

// The library's own Windows-1251 table must be iconv's, byte for byte.
TEST(CodePage, Windows1251TableIsIconvs) {
  std::string error;
  const auto cp1251 = OpenCodePage("1251", error);
  ASSERT_TRUE(cp1251) << error;
  for (int byte = 0; byte < 256; ++byte) {
    const auto& ours = kWindows1251.characters[static_cast<std::size_t>(byte)];
    const auto& iconvs = cp1251->characters[static_cast<std::size_t>(byte)];
    EXPECT_EQ(std::string(ours.bytes.data(), ours.size),
              std::string(iconvs.bytes.data(), iconvs.size))
        << "byte " << byte;
  }
}

TEST(CodePage, OpensSingleByteCodePagesByName) {
  const struct {
    const char* name;
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {"1251", "ASCII \xC0\xFF\xA8\xB8\xAB\xBB\x96\x97", "ASCII АяЁё«»–—"},
      {"CP1251", "\x98", "\xEF\xBF\xBD"},  // undefined in Windows-1251
      {"1252", "\xC0\xFF\x80\x81", "Àÿ€\xEF\xBF\xBD"},
      {"KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", "Привет"},
      {"CP866", "\x8F\xE0\xA8\xA2\xA5\xE2", "Привет"},
      {"ISO-8859-5", "\xBF\xE0\xD8\xD2\xD5\xE2", "Привет"},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto table = OpenCodePage(c.name, error);
    ASSERT_TRUE(table) << c.name << ": " << error;
    std::string utf8;
    AppendDecoded(utf8, c.bytes, *table);
    EXPECT_EQ(utf8, c.utf8) << c.name;
  }
}

TEST(CodePage, RefusesUnknownAndMultiByteNames) {
  for (const char* name : {"99999", "no-such-code-page", "UTF-8", "SHIFT_JIS", "UTF-16", ""}) {
    std::string error;
    EXPECT_FALSE(OpenCodePage(name, error)) << name;
    EXPECT_NE(error.find('\''), std::string::npos) << name << ": " << error;
  }
}

TEST(SummaryLine, NounsAgreeWithTheirCounts) {
  const struct {
    RunCounts counts;
    std::string line;
  } cases[] = {
      {{1, 1, 0, 0, 1},
       "pagefields: 1 file considered, 1 HTML page, 0 not HTML, 0 unreadable, "
       "1 page with a missing internal link, 0.25 s"},
      {{0, 0, 0, 0, 0},
       "pagefields: 0 files considered, 0 HTML pages, 0 not HTML, 0 unreadable, "
       "0 pages with a missing internal link, 0.25 s"},
      {{12, 2, 4, 6, 2},
       "pagefields: 12 files considered, 2 HTML pages, 4 not HTML, 6 unreadable, "
       "2 pages with a missing internal link, 0.25 s"},
  };
  for (const auto& c : cases) EXPECT_EQ(SummaryLine(c.counts, 0.25), c.line);
}

// The one-pass cell text against escaping, on every byte value and on texts that mix
// control bytes, backslashes, ASCII and bytes from 0x80 up.
TEST(LineText, EscapesAsEscapeForLineDoes) {
  std::vector<std::string> texts = {"", "plain", "a\tb\\c\x7F", "\xC0\x98\xFF"s + '\0'};
  std::string every_byte;
  for (int byte = 0; byte < 256; ++byte) every_byte += static_cast<char>(byte);
  texts.push_back(every_byte);
  std::mt19937 random(3);
  std::uniform_int_distribution<int> pick(0, 255);
  for (int i = 0; i < 50; ++i) {
    std::string text;
    for (int n = 0; n < 40; ++n) text += static_cast<char>(pick(random));
    texts.push_back(text);
  }
  const LineText line_text;
  for (const std::string& text : texts) {
    std::string out = "kept|";
    line_text.Append(out, text);
    EXPECT_EQ(out, "kept|" + EscapeForLine(text));
  }
}

TEST(HasPageExtension, TakesTheFourExtensionsInAnyCase) {
  for (const char* name : {"a.htm", "a.html", "a.shtml", "a.xhtml", "A.HTML", "b.HtM", ".html"}) {
    EXPECT_TRUE(HasPageExtension(name)) << name;
  }
  for (const char* name : {"a.htmx", "a.txt", "html", "a.html~", "a.xhtm", "a.php", ""}) {
    EXPECT_FALSE(HasPageExtension(name)) << name;
  }
}

// Keys from a small alphabet, in a few groups, many times over: the table must keep every
// first value through its growth and find exactly the pairs it was given.
TEST(FlatStringMap, KeepsTheFirstValueOfEveryKeyInItsGroup) {
  FlatStringMap<int> table;
  std::map<std::pair<std::uint32_t, std::string>, int> model;
  std::mt19937 random(11);
  std::uniform_int_distribution<int> letter(0, 2);
  std::uniform_int_distribution<int> length(0, 6);
  std::uniform_int_distribution<std::uint32_t> group(0, 3);
  for (int i = 0; i < 5000; ++i) {
    std::string key;
    for (int n = length(random); n > 0; --n) key += static_cast<char>('a' + letter(random));
    const std::uint32_t in = group(random);
    const auto [known, added] = model.try_emplace({in, key}, i);
    if (i % 2 == 0) {
      EXPECT_EQ(table.Insert(in, key, i), known->second) << in << " " << key;
    } else {
      const int* found = table.Find(in, key);
      if (added) {
        EXPECT_EQ(found, nullptr) << in << " " << key;
        model.erase(known);
      } else {
        ASSERT_NE(found, nullptr) << in << " " << key;
        EXPECT_EQ(*found, known->second);
      }
    }
  }
  EXPECT_EQ(table.size(), model.size());
}

TEST(TargetCache, AnswersAsTheFileSystemDoesWhateverWasAskedBefore) {
  const testing::TempFolder site;
  site.Write("b/x.html", "x");
  site.Write("c/y.html", "y");
  site.MakeFolder("a");
  site.MakeFolder("b/folder.html");
  std::filesystem::create_symlink("b", site.path() / "linked");
  const std::string root = site.path().string() + "/";
  const std::string paths[] = {
      root + "b/x.html",
      root + "a/../b/x.html",
      root + "c/../b/x.html",
      root + "linked/x.html",
      root + "b/gone.html",
      root + "a/../b/gone.html",
      root + "b/folder.html",
      root + "b/x.html/",
      root + "b/x.html/z",
      root + "none/../b/x.html",
      root + "b/",
      root + "b/x.html" + "\0tail"s,
      root + "b/.",
      "b/x.html",
      "",
  };
  TargetCache cache;
  // Each path twice, so that later answers come from what the cache remembers.
  for (int round = 0; round < 2; ++round) {
    for (const std::string& path : paths) {
      EXPECT_EQ(cache.ExistsNotDir(path), FileExistsNotDir(path)) << path << " round " << round;
    }
  }
  EXPECT_TRUE(cache.ExistsNotDir(root + "c/../b/x.html"));
  EXPECT_FALSE(cache.ExistsNotDir(root + "a/../b/gone.html"));
}

// Past a few names asked in one folder the cache lists it; the listing must answer as the
// file system does for files, folders, links and names it does not hold.
TEST(TargetCache, ListedFolderAnswersAsTheFileSystemDoes) {
  const testing::TempFolder site;
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) {
    names.push_back("p" + std::to_string(i) + ".html");
    site.Write("pages/" + names.back(), "x");
  }
  site.MakeFolder("pages/sub.html");
  site.MakeFolder("elsewhere");
  std::filesystem::create_symlink("p1.html", site.path() / "pages/link.html");
  std::filesystem::create_symlink("sub.html", site.path() / "pages/folder-link.html");
  std::filesystem::create_symlink("none.html", site.path() / "pages/dangling.html");
  names.insert(names.end(), {"sub.html", "link.html", "folder-link.html", "dangling.html",
                             "gone.html", ".", "..", "P1.HTML"});
  const std::string root = site.path().string() + "/";
  // As paths come; with each batch told as the links of a page in that folder; and with
  // the listings the folder walk read.
  const WalkResult walk = CollectFiles({root}, false);
  ASSERT_FALSE(walk.listings.empty());
  for (const int mode : {0, 1, 2}) {
    TargetCache cache(mode == 2 ? &walk.listings : nullptr);
    for (const char* folder : {"pages/", "elsewhere/../pages/", "pages/sub.html/../", "pages/"}) {
      if (mode == 1) cache.StartPage(root + folder);
      for (const std::string& name : names) {
        const std::string path = root + folder + name;
        EXPECT_EQ(cache.ExistsNotDir(path), FileExistsNotDir(path)) << path << " mode " << mode;
      }
    }
  }
}

}  // namespace
}  // namespace pagefields::cli
