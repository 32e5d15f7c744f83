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
  // Every tag is one of the report's own, and there is one script, the report's; no element
  // loads anything. (Its style and script hold no tags.)
  const std::set<std::string> own = {"!DOCTYPE", "html", "head", "meta",  "title", "style", "body",
                                     "h1",       "pre",  "p",    "input", "span",  "table", "thead",
                                     "tbody",    "tr",   "th",   "td",    "script"};
  std::size_t scripts = 0;
  for (std::size_t at = report.find('<'); at != std::string::npos; at = report.find('<', at + 1)) {
    if (report.compare(at, 7, "<style ") == 0) at = report.find("</style>", at);
    if (report.compare(at, 8, "<script ") == 0) {
      ++scripts;
      at = report.find("</script>", at);
    }
    const std::size_t name = report[at + 1] == '/' ? at + 2 : at + 1;
    const std::string tag = report.substr(name, report.find_first_of(" >", name) - name);
    EXPECT_TRUE(own.contains(tag)) << tag << " at " << at;
  }
  EXPECT_EQ(scripts, 1u);
  EXPECT_NE(report.find("&lt;/td&gt;&lt;script&gt;document.body"), std::string::npos);
  EXPECT_NE(report.find("<td>s/evil&lt;b&gt;.html</td>"), std::string::npos);
  // The policy allows only the report's own style and script, by a nonce.
  const std::size_t policy = report.find(
      "Content-Security-Policy\" content=\"default-src 'none'; "
      "script-src 'nonce-");
  ASSERT_NE(policy, std::string::npos);
  const std::string nonce = report.substr(report.find("'nonce-", policy) + 7, 32);
  EXPECT_NE(report.find("<script nonce=\"" + nonce + "\">"), std::string::npos);
  EXPECT_NE(report.find("<style nonce=\"" + nonce + "\">"), std::string::npos);
  EXPECT_EQ(Report().find(nonce), std::string::npos) << "each report draws its own nonce";
  // Missing links and empty titles stand out; the summary comes first.
  EXPECT_NE(report.find("<tr class=\"broken\"><td>s/alpha.html</td>"), std::string::npos);
  EXPECT_NE(report.find("<tr><td>s/beta.html</td><td class=\"empty\"></td>"), std::string::npos);
  EXPECT_LT(report.find("Empty title: 1 page"), report.find("<table"));
}

// The files of the table's rows in their order, and those the filter hides.
struct ShownRows {
  std::vector<std::string> files;
  std::vector<std::string> hidden;
};

ShownRows RowsOf(const std::string& dom) {
  ShownRows rows;
  const std::size_t body = dom.find("<tbody>");
  const std::size_t end = dom.find("</tbody>", body);
  for (std::size_t at = dom.find("<tr", body); at != std::string::npos && at < end;
       at = dom.find("<tr", at + 1)) {
    const std::size_t tag_end = dom.find('>', at);
    const std::size_t cell = dom.find("<td>", at) + 4;
    const std::string file = dom.substr(cell, dom.find("</td>", cell) - cell);
    rows.files.push_back(file);
    if (dom.substr(at, tag_end - at).find("hidden") != std::string::npos) {
      rows.hidden.push_back(file);
    }
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
    const ProgramRun run =
        RunProgram(browser_,
                   {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                    "--user-data-dir=" + (folder_.path() / "profile").string(), "--dump-dom",
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
  EXPECT_NE(unsorted.find("4 of 4 pages shown"), std::string::npos);
  const Files by_path = {"s/alpha.html", "s/beta.html", "s/evil&lt;b&gt;.html", "s/gamma.html"};
  EXPECT_EQ(RowsOf(unsorted).files, by_path);

  // Equal values keep their order either way.
  EXPECT_EQ(RowsOf(Dom("sort=Count(A)&order=desc")).files,
            (Files{"s/gamma.html", "s/alpha.html", "s/beta.html", "s/evil&lt;b&gt;.html"}));
  EXPECT_EQ(RowsOf(Dom("sort=Count(A)")).files,
            (Files{"s/beta.html", "s/evil&lt;b&gt;.html", "s/alpha.html", "s/gamma.html"}));
  EXPECT_EQ(RowsOf(Dom("sort=Title")).files,
            (Files{"s/beta.html", "s/evil&lt;b&gt;.html", "s/alpha.html", "s/gamma.html"}));

  const std::string filtered = Dom("filter=zED");
  EXPECT_EQ(RowsOf(filtered).hidden,
            (Files{"s/alpha.html", "s/beta.html", "s/evil&lt;b&gt;.html"}));
  EXPECT_NE(filtered.find("1 of 4 pages shown"), std::string::npos);
}

}  // namespace
}  // namespace pagefields::testing
