// The pagefields program as a site auditor: pages with today's heads, every missing link, and
// the site summary, run as a user runs them on sites the tests write.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

#include "cli/line_escape.h"
#include "plugin/delivery.h"
#include "plugin/document.h"
#include "plugin/field_values.h"
#include "tests/output_lines.h"
#include "tests/run_program.h"
#include "tests/temp_folder.h"

namespace pagefields::testing {
namespace {

class Audit : public ::testing::Test {
 protected:
  Audit() { folder_.MakeFolder("captured"); }

  ProgramRun Run(const std::vector<std::string>& arguments) const {
    return RunProgram(PAGEFIELDS_CLI_PATH, arguments, folder_.path(), folder_.path() / "captured");
  }

  TempFolder folder_;
};

// A page as sites are written today: no "<HTML>" within 64 bytes, its title and links well
// behind the first 1024 bytes, so the fields depend on the rest being read after the head.
std::string ModernPage(int number, const std::string& head) {
  return head + "<head><meta charset=\"utf-8\">\n<!--" + std::string(1100, '-') +
         "-->\n<title>Page " + std::to_string(number) +
         " &ndash; manual</title>\n<meta name=\"description\" content=\"Chapter " +
         std::to_string(number) + "\"></head>\n<body><h1>Chapter</h1><p>Some text here.</p>" +
         "<a href=\"index.html\">up</a><a href=\"gone-" + std::to_string(number) +
         ".html#x\">gone</a><noindex>hidden</noindex></body></html>";
}

TEST_F(Audit, SniffPageTakesTodaysHeadsWithTheSameFields) {
  const std::vector<std::string> heads = {
      "<!DOCTYPE html>\n<html lang=\"en\">",
      "<!doctype HTML>\n<head>",
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 "
      "Strict//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n<html "
      "xmlns=\"http://www.w3.org/1999/xhtml\">",
      "<HTML LANG=ru>",
  };
  for (int i = 0; i < 12; ++i) {
    folder_.Write("manual/p" + std::to_string(10 + i) + ".html",
                  ModernPage(i, heads[static_cast<std::size_t>(i) % heads.size()]));
  }
  folder_.Write("manual/index.html", "<html><title>Index</title>");  // the plugin's marker
  // Neither rule: a bare <html> after 64 bytes, an <html> tag without attributes.
  folder_.Write("manual/late.html", std::string(70, ' ') + "<html><title>Late</title>");
  folder_.Write("manual/notes.txt", "<!DOCTYPE html>");  // not considered: no page extension

  const ProgramRun plugin_rule = Run({"--fields", "Title", "manual"});
  EXPECT_EQ(plugin_rule.exit_code, 0) << plugin_rule.err;
  EXPECT_EQ(plugin_rule.out, "File\tTitle\nmanual/index.html\tIndex\n");
  EXPECT_NE(plugin_rule.err.find("1 HTML page, 13 not HTML"), std::string::npos) << plugin_rule.err;
  EXPECT_NE(plugin_rule.err.find("pagefields: 13 .htm/.html files have no <HTML> in their first "
                                 "64 bytes; --sniff page also reads"),
            std::string::npos)
      << plugin_rule.err;

  const ProgramRun page_rule = Run({"--sniff", "page", "manual"});
  EXPECT_EQ(page_rule.exit_code, 0) << page_rule.err;
  EXPECT_NE(page_rule.err.find("13 HTML pages, 1 not HTML"), std::string::npos) << page_rule.err;
  EXPECT_EQ(page_rule.err.find("--sniff"), std::string::npos) << page_rule.err;
  EXPECT_NE(page_rule.err.find("manual/late.html: not HTML"), std::string::npos);

  // Every field of every page as the library computes it from the whole file.
  const std::vector<std::string> lines = Lines(page_rule.out);
  ASSERT_EQ(lines.size(), 14u);
  for (std::size_t line = 1; line < lines.size(); ++line) {
    const std::vector<std::string> cells = Cells(lines[line]);
    ASSERT_EQ(cells.size(), 19u);
    const std::string document = ReadWholeFile(folder_.path() / cells[0]);
    const FieldValues values = ComputeFields(document, (folder_.path() / "manual/").string(),
                                             FieldSet::All(), FileExistsNotDir);
    for (const Field field : kAllFields) {
      const std::string expected =
          RowOf(field).type == FieldTypeNumeric32
              ? std::to_string(values[field].number)
              : cli::EscapeForLine(DeliveredText(values[field], 65536, kUtf8OrWindows1251));
      EXPECT_EQ(cells[RowIndex(field) + 1], expected) << cells[0] << " " << RowOf(field).name;
    }
  }
  EXPECT_NE(page_rule.out.find("manual/p10.html\tPage 0 – manual\t"), std::string::npos);
}

TEST_F(Audit, FewSkippedPagesGetNoHint) {
  for (int i = 0; i < 3; ++i) folder_.Write("s/p" + std::to_string(i) + ".html", "<html>");
  folder_.Write("s/a.html", "<!DOCTYPE html><html lang=en>");
  EXPECT_EQ(Run({"s"}).err.find("--sniff"), std::string::npos);
  // When the skipped ones outnumber the pages found, even one is worth the hint.
  folder_.Write("t/a.html", "<!DOCTYPE html><html lang=en>");
  EXPECT_NE(Run({"t"}).err.find("--sniff page"), std::string::npos);
}

class BrokenLinks : public Audit {
 protected:
  void SetUp() override {
    folder_.Write("site/index.html",
                  "<html><a href=\"b.html\">b</a><a href=\"gone.html#top\">1</a>"
                  "<a href=\"http://example.com/x\">w</a><a href=\"sub/lost.html?q=1\">2</a>"
                  "<a href=\"b.html#here\">b</a><a href=gone.html>3</a></html>");
    folder_.Write("site/b.html", "<html><a href=\"index.html\">fine</a></html>");
    folder_.Write("site/sub/c.html",
                  "<html><a href=\"../b.html\">up</a><a href=\"../nowhere.html\">x</a></html>");
  }
};

TEST_F(BrokenLinks, ListsEveryMissingLinkInOrderInEachFormat) {
  struct Case {
    std::string format;
    std::string expected;
  };
  const Case cases[] = {
      {"tsv",
       "File\tLink\tProbed\tPath\n"
       "site/index.html\tgone.html#top\tgone.html\tsite/gone.html\n"
       "site/index.html\tsub/lost.html?q=1\tsub/lost.html\tsite/sub/lost.html\n"
       "site/index.html\tgone.html\tgone.html\tsite/gone.html\n"
       "site/sub/c.html\t../nowhere.html\t../nowhere.html\tsite/sub/../nowhere.html\n"},
      {"csv",
       "File,Link,Probed,Path\n"
       "site/index.html,gone.html#top,gone.html,site/gone.html\n"
       "site/index.html,sub/lost.html?q=1,sub/lost.html,site/sub/lost.html\n"
       "site/index.html,gone.html,gone.html,site/gone.html\n"
       "site/sub/c.html,../nowhere.html,../nowhere.html,site/sub/../nowhere.html\n"},
      {"jsonl",
       "{\"File\":\"site/index.html\",\"Link\":\"gone.html#top\",\"Probed\":\"gone.html\","
       "\"Path\":\"site/gone.html\"}\n"
       "{\"File\":\"site/index.html\",\"Link\":\"sub/lost.html?q=1\",\"Probed\":\"sub/lost.html\","
       "\"Path\":\"site/sub/lost.html\"}\n"
       "{\"File\":\"site/index.html\",\"Link\":\"gone.html\",\"Probed\":\"gone.html\","
       "\"Path\":\"site/gone.html\"}\n"
       "{\"File\":\"site/sub/c.html\",\"Link\":\"../nowhere.html\",\"Probed\":\"../nowhere.html\","
       "\"Path\":\"site/sub/../nowhere.html\"}\n"},
      {"table",
       "File             Link               Probed           Path\n"
       "site/index.html  gone.html#top      gone.html        site/gone.html\n"
       "site/index.html  sub/lost.html?q=1  sub/lost.html    site/sub/lost.html\n"
       "site/index.html  gone.html          gone.html        site/gone.html\n"
       "site/sub/c.html  ../nowhere.html    ../nowhere.html  site/sub/../nowhere.html\n"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = Run({"--broken-links", "--format", c.format, "site"});
    EXPECT_EQ(run.exit_code, 0) << c.format << run.err;
    EXPECT_EQ(run.out, c.expected) << c.format;
  }
}

TEST_F(BrokenLinks, FirstLineOfEachPageIsItsBrockenA) {
  // Generated pages with many links, some missing, some repeated, some with fragments.
  for (int page = 0; page < 20; ++page) {
    std::string html = "<html>";
    for (int link = 0; link < 30; ++link) {
      const int target = (page * 7 + link * 13) % 11;
      html += "<a href=\"" + std::string(target < 4 ? "b.html" : "m" + std::to_string(target)) +
              (link % 3 == 0 ? "#f" : "") + "\">x</a>";
    }
    folder_.Write("gen/g" + std::to_string(page) + ".html", html + "</html>");
  }
  folder_.Write("gen/b.html", "<html>");
  const ProgramRun pages = Run({"--fields", "Brocken_A,Count(A_int)", "gen"});
  const ProgramRun links = Run({"--broken-links", "gen"});
  ASSERT_EQ(pages.exit_code, 0);
  ASSERT_EQ(links.exit_code, 0);
  std::map<std::string, std::vector<std::string>> probed;
  for (const std::string& line : Lines(links.out)) {
    const std::vector<std::string> cells = Cells(line);
    probed[cells[0]].push_back(cells[2]);
  }
  const std::vector<std::string> page_lines = Lines(pages.out);
  for (std::size_t i = 1; i < page_lines.size(); ++i) {
    const std::vector<std::string> cells = Cells(page_lines[i]);
    const auto found = probed.find(cells[0]);
    if (cells[1].empty()) {
      EXPECT_EQ(found, probed.end()) << cells[0];
      continue;
    }
    ASSERT_NE(found, probed.end()) << cells[0];
    EXPECT_EQ(found->second.front(), cells[1]) << cells[0];
    EXPECT_LE(found->second.size(), static_cast<std::size_t>(std::stoi(cells[2])));
  }
  // Exactly the links to m4 .. m10 are missing, every one of them.
  std::size_t expected = 0;
  for (int page = 0; page < 20; ++page) {
    for (int link = 0; link < 30; ++link) expected += (page * 7 + link * 13) % 11 >= 4;
  }
  EXPECT_EQ(Lines(links.out).size(), expected + 1);
}

TEST_F(BrokenLinks, GateAndUsage) {
  EXPECT_EQ(Run({"--broken-links", "--fail-on-broken", "site"}).exit_code, 1);
  EXPECT_EQ(Run({"--broken-links", "--fail-on-broken", "site/b.html"}).exit_code, 0);
  EXPECT_EQ(Run({"--broken-links", "--fields", "Title", "site"}).exit_code, 2);
  EXPECT_EQ(Run({"--sniff", "html", "site"}).exit_code, 2);
}

TEST_F(Audit, SummaryGroupsAndMeasuresInCharacters) {
  // 60 Cyrillic letters in UTF-8 are 120 bytes but 60 characters: not too long.
  std::string sixty;
  for (int i = 0; i < 60; ++i) sixty += "д";
  folder_.Write("s/a.html",
                "<html><title>Home</title><meta name=description content=\"Shared text\">"
                "<h1>A</h1><a href=gone.html>x</a><a href=lost.html>y</a>");
  folder_.Write("s/b.html",
                "<html><title>Home</title><meta name=description content=\"Shared text\">"
                "<noindex>secret</noindex>");
  folder_.Write("s/c.html", "<html><title>" + sixty + "</title><h1>C</h1>");
  // 61 characters: 59 letters and two entities, each one character once decoded.
  folder_.Write("s/d.html", "<html><title>&laquo;" + sixty.substr(0, 118) +
                                "&raquo;</title><h1>D</h1><meta name=description "
                                "content=\"Home\"><a href=nowhere>z</a>");
  folder_.Write("s/e.html",
                "<html><title>   </title><h1>E</h1><meta name=description "
                "content=\"Shared text\">");

  const ProgramRun table = Run({"--format", "table", "--fields", "Title", "--summary", "s"});
  EXPECT_EQ(table.exit_code, 0) << table.err;
  const std::string expected_summary =
      "Summary of 5 pages\n"
      "Empty title: 1 page\n"
      "  s/e.html\n"
      "Empty H1: 1 page\n"
      "  s/b.html\n"
      "Empty description: 1 page\n"
      "  s/c.html\n"
      "Shared title: 1 group\n"
      "  \"Home\": 2 pages\n"
      "    s/a.html\n"
      "    s/b.html\n"
      "Shared description: 1 group\n"
      "  \"Shared text\": 3 pages\n"
      "    s/a.html\n"
      "    s/b.html\n"
      "    s/e.html\n"
      "Title longer than 60 characters: 1 page\n"
      "  s/d.html  61  «" +
      sixty.substr(0, 118) +
      "»\n"
      "Description longer than 160 characters: 0 pages\n"
      "Missing links (3 links in all): 2 pages\n"
      "  s/a.html  2\n"
      "  s/d.html  1\n"
      "Noindex text: 1 page\n"
      "  s/b.html\n";
  const std::size_t start = table.out.find("Summary of");
  ASSERT_NE(start, std::string::npos) << table.out;
  EXPECT_EQ(table.out.substr(start), expected_summary);

  // A lower limit lists the 60-character title too; descriptions by their own limit.
  const ProgramRun limits =
      Run({"--format", "table", "--summary", "--title-max", "59", "--description-max", "4", "s"});
  EXPECT_NE(limits.out.find("Title longer than 59 characters: 2 pages\n  s/c.html  60"),
            std::string::npos)
      << limits.out;
  EXPECT_NE(limits.out.find("Description longer than 4 characters: 3 pages\n"), std::string::npos)
      << limits.out;

  // jsonl: the page objects, then one object per finding.
  const ProgramRun jsonl = Run({"--format", "jsonl", "--fields", "Title", "--summary", "s"});
  EXPECT_EQ(jsonl.exit_code, 0) << jsonl.err;
  std::vector<nlohmann::json> summary;
  for (const std::string& line : Lines(jsonl.out)) {
    const nlohmann::json object = nlohmann::json::parse(line);
    if (object.contains("Summary")) summary.push_back(object);
  }
  ASSERT_EQ(summary.size(), 10u);
  EXPECT_EQ(summary[0], nlohmann::json::parse(R"({"Summary":"Pages","Count":5})"));
  EXPECT_EQ(summary[4], nlohmann::json::parse(
                            R"({"Summary":"Shared title","Text":"Home",
                                "Pages":[{"File":"s/a.html"},{"File":"s/b.html"}]})"));
  EXPECT_EQ(summary[6]["Summary"], "Long title");
  EXPECT_EQ(summary[6]["Pages"][0]["Length"], 61);
  EXPECT_EQ(summary[8], nlohmann::json::parse(
                            R"({"Summary":"Missing links","Links":3,
                                "Pages":[{"File":"s/a.html","Links":2},
                                         {"File":"s/d.html","Links":1}]})"));
}

TEST_F(Audit, SummaryFollowsTheLinksAndAnEmptyLineInTsv) {
  folder_.Write("s/a.html", "<html><title>A</title><a href=gone.html>x</a>");
  const ProgramRun run = Run({"--broken-links", "--summary", "s"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find("Empty title")),
            "File\tLink\tProbed\tPath\ns/a.html\tgone.html\tgone.html\ts/gone.html\n\n"
            "Summary of 1 page\n");
}

}  // namespace
}  // namespace pagefields::testing
