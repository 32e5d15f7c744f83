// The html report: escaped, self-contained, and sorting and filtering in a real browser.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "cli/html_report.h"
#include "tests/run_program.h"
#include "tests/temp_folder.h"

namespace pagefields::testing {
namespace {

namespace fs = std::filesystem;

TEST(EscapeForHtml, WritesMarkupBytesAsReferences) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain «text» – é", "plain «text» – é"},
      {"</td><script>alert(1)</script>", "&lt;/td&gt;&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"a=\"b\" c='d' & e", "a=&quot;b&quot; c=&#39;d&#39; &amp; e"},
      {"&amp;", "&amp;amp;"},
      {"", ""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(cli::EscapeForHtml(text), expected);
}

// A page that tries to run script through every text the report shows.
const char kHostilePage[] =
    "<html><title></td><script>document.body.setAttribute('data-ran','title')</script>"
    "<img src=x onerror=\"document.body.setAttribute('data-ran','img')\"></title>"
    "<meta name=description content=\"<svg onload=document.body.setAttribute('data-ran',1)>\">"
    "<a href=\"'><script>document.body.setAttribute('data-ran','link')</script>\">x</a>"
    "<noindex><script>document.body.setAttribute('data-ran','noindex')</script></noindex>";

class HtmlReport : public ::testing::Test {
 protected:
  HtmlReport() {
    folder_.MakeFolder("captured");
    folder_.Write("s/alpha.html", "<html><title>Alpha</title><a href=x.html>1</a><a href=y>2</a>");
    folder_.Write("s/beta.html", "<html><title></title><a href=alpha.html>1</a>");
    folder_.Write("s/gamma.html", "<html><title>Zed</title>" + std::string(3, 'x') +
                                      "<a href=alpha.html>1</a><a href=beta.html>2</a>"
                                      "<a href=http://example.com/>3</a>");
    folder_.Write("s/evil<b>.html", kHostilePage);
  }

  // Writes the report of s/ and gives its text.
  std::string Report() const {
    const std::string report = (folder_.path() / "report.html").string();
    const ProgramRun run = RunProgram(PAGEFIELDS_CLI_PATH, {"--format", "html", "s"},
                                      folder_.path(), folder_.path() / "captured", report);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return ReadWholeFile(report);
  }

  TempFolder folder_;
};

TEST_F(HtmlReport, EscapesEveryPageTextAndFetchesNothing) {
  const std::string report = Report();
  // Every tag is one of the report's own; one script runs, the report's, and the pages travel
  // in a data block that holds no '<' at all. No element loads anything.
  const std::set<std::string> own = {
      "!DOCTYPE", "html", "head",  "meta",  "title", "style", "body", "h1",     "pre",   "p",
      "input",    "span", "table", "thead", "tbody", "tr",    "th",   "button", "script"};
  std::size_t scripts = 0;
  std::size_t data_blocks = 0;
  for (std::size_t at = report.find('<'); at != std::string::npos; at = report.find('<', at + 1)) {
    const std::string tag_text = report.substr(at, report.find('>', at) - at);
    const bool skips = tag_text.starts_with("<style ") || tag_text.starts_with("<script ");
    if (tag_text.starts_with("<script nonce=")) ++scripts;
    if (tag_text == "<script id=\"data\" type=\"application/json\"") ++data_blocks;
    const std::size_t name = report[at + 1] == '/' ? at + 2 : at + 1;
    const std::string tag = report.substr(name, report.find_first_of(" >", name) - name);
    EXPECT_TRUE(own.contains(tag)) << tag << " at " << at;
    if (skips) at = report.find(tag_text.starts_with("<style") ? "</style>" : "</script>", at);
  }
  EXPECT_EQ(scripts, 1u);
  EXPECT_EQ(data_blocks, 1u);
  EXPECT_NE(report.find("\\u003c/td\\u003e\\u003cscript\\u003edocument.body"), std::string::npos);
  EXPECT_NE(report.find("\"s/evil\\u003cb\\u003e.html\""), std::string::npos);
  // The policy allows only the report's own style and script, by a nonce.
  const std::size_t policy = report.find(
      "Content-Security-Policy\" content=\"default-src 'none'; "
      "script-src 'nonce-");
  ASSERT_NE(policy, std::string::npos);
  const std::string nonce = report.substr(report.find("'nonce-", policy) + 7, 32);
  EXPECT_NE(report.find("<script nonce=\"" + nonce + "\">"), std::string::npos);
  EXPECT_NE(report.find("<style nonce=\"" + nonce + "\">"), std::string::npos);
  EXPECT_EQ(Report().find(nonce), std::string::npos) << "each report draws its own nonce";
  // The summary comes first, escaped as well.
  EXPECT_LT(report.find("Empty title: 1 page"), report.find("<table"));
  EXPECT_NE(report.find("  s/evil&lt;b&gt;.html"), std::string::npos);
}

// The files of the table's rows, in their order.
std::vector<std::string> RowsOf(const std::string& dom) {
  std::vector<std::string> rows;
  const std::size_t body = dom.find("<tbody>");
  const std::size_t end = dom.find("</tbody>", body);
  for (std::size_t at = dom.find("<tr", body); at != std::string::npos && at < end;
       at = dom.find("<tr", at + 1)) {
    const std::size_t cell = dom.find("<td>", at) + 4;
    rows.push_back(dom.substr(cell, dom.find("</td>", cell) - cell));
  }
  return rows;
}

class HtmlReportInBrowser : public HtmlReport {
 protected:
  void SetUp() override {
    for (const char* candidate : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
      if (fs::exists(candidate)) browser_ = candidate;
    }
    if (browser_.empty()) {
      if (std::getenv("CI") != nullptr) FAIL() << "CI runs need chromium (package group tests)";
      GTEST_SKIP() << "no chromium to load the report in";
    }
    report_ = (folder_.path() / "report.html").string();
    Report();
  }

  // The report's document once its script has run, opened with `state` as its address
  // fragment (as a bookmark of a sorted, filtered view opens it).
  std::string Dom(const std::string& state) const {
    const ProgramRun run = RunProgram(
        browser_,
        // No background connections: the report needs none, and a machine
        // without network refuses them slowly.
        {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-quic", "--user-data-dir=" + (folder_.path() / "profile").string(), "--dump-dom",
         "file://" + report_ + "#" + state},
        folder_.path(), folder_.path() / "captured");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("</tbody>"), std::string::npos) << run.out;
    return run.out;
  }

  std::string browser_;
  std::string report_;
};

TEST_F(HtmlReportInBrowser, SortsFiltersAndRunsNoScriptFromAPage) {
  using Files = std::vector<std::string>;
  const std::string unsorted = Dom("");
  // Nothing of the hostile page ran: the body has no attribute, and its title stands as text.
  const std::size_t body = unsorted.find("<body");
  ASSERT_NE(body, std::string::npos);
  EXPECT_EQ(unsorted.substr(body, unsorted.find('>', body) - body), "<body");
  EXPECT_NE(unsorted.find("<title>pagefields report</title>"), std::string::npos);
  EXPECT_NE(unsorted.find("&lt;script&gt;document.body.setAttribute('data-ran','title')"),
            std::string::npos);
  EXPECT_NE(unsorted.find("4 of 4 pages match; 4 shown"), std::string::npos);
  // Missing links and empty titles stand out.
  EXPECT_NE(unsorted.find("<tr class=\"broken\"><td>s/alpha.html</td>"), std::string::npos);
  EXPECT_NE(unsorted.find("<tr><td>s/beta.html</td><td class=\"empty\"></td>"), std::string::npos);
  const Files by_path = {"s/alpha.html", "s/beta.html", "s/evil&lt;b&gt;.html", "s/gamma.html"};
  EXPECT_EQ(RowsOf(unsorted), by_path);

  // Equal values keep their order either way.
  EXPECT_EQ(RowsOf(Dom("sort=Count(A)&order=desc")),
            (Files{"s/gamma.html", "s/alpha.html", "s/beta.html", "s/evil&lt;b&gt;.html"}));
  EXPECT_EQ(RowsOf(Dom("sort=Count(A)")),
            (Files{"s/beta.html", "s/evil&lt;b&gt;.html", "s/alpha.html", "s/gamma.html"}));
  EXPECT_EQ(RowsOf(Dom("sort=Title")),
            (Files{"s/beta.html", "s/evil&lt;b&gt;.html", "s/alpha.html", "s/gamma.html"}));

  const std::string filtered = Dom("filter=zED");
  EXPECT_EQ(RowsOf(filtered), Files{"s/gamma.html"});
  EXPECT_NE(filtered.find("1 of 4 pages match; 1 shown"), std::string::npos);
}

TEST_F(HtmlReportInBrowser, ShowsALargeSiteInBatches) {
  for (int i = 0; i < 130; ++i) {
    folder_.Write("s/many/p" + std::to_string(1000 + i) + ".html",
                  "<html><title>T" + std::to_string(i) + "</title>");
  }
  Report();
  const std::string dom = Dom("sort=Title&order=desc");
  EXPECT_EQ(RowsOf(dom).size(), 100u);
  EXPECT_EQ(RowsOf(dom).front(), "s/gamma.html");  // "Zed" sorts last, so first here
  EXPECT_NE(dom.find("134 of 134 pages match; 100 shown"), std::string::npos);
  EXPECT_NE(dom.find("<button id=\"more\" type=\"button\">Show more</button>"), std::string::npos);
}

}  // namespace
}  // namespace pagefields::testing
