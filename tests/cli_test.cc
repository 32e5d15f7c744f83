// The pagefields program run as a user runs it, on sites the tests write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "cli/line_escape.h"
#include "tests/loaded_plugin.h"
#include "tests/output_lines.h"
#include "tests/run_program.h"
#include "tests/temp_folder.h"

namespace pagefields::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// "Привет, "мир"" in Windows-1251: 13 bytes with a comma and quotes for csv to handle.
const std::string kGreeting1251 = "\xCF\xF0\xE8\xE2\xE5\xF2, \"\xEC\xE8\xF0\"";

// The File column of tsv output, header left out.
std::vector<std::string> FileColumn(const std::string& tsv) {
  std::vector<std::string> files;
  const std::vector<std::string> lines = Lines(tsv);
  for (std::size_t i = 1; i < lines.size(); ++i) files.push_back(Cells(lines[i])[0]);
  return files;
}

// Standard error without the elapsed time at the end of the summary, which varies.
std::string WithoutTime(const std::string& err) {
  const std::size_t summary_time = err.rfind(", ");
  return summary_time == std::string::npos ? err : err.substr(0, summary_time);
}

class CommandLine : public ::testing::Test {
 protected:
  CommandLine() { folder_.MakeFolder("captured"); }

  ProgramRun Run(const std::vector<std::string>& arguments) const {
    return RunProgram(PAGEFIELDS_CLI_PATH, arguments, folder_.path(), folder_.path() / "captured");
  }

  // Two pages, one in Windows-1251 with a missing link, one with a tab in its title.
  void WriteSmallSite() const {
    folder_.Write("small/a.html",
                  "<html><title>" + kGreeting1251 + "</title><a href=\"gone.html\">x</a></html>");
    folder_.Write("small/b.html", "<html><title>Tab\there</title></html>");
  }

  // Nested folders, pages by every extension, and every kind of file that is no page.
  void WriteMixedSite() const {
    folder_.Write("site/index.html",
                  "<HTML><head><title>" + kGreeting1251 +
                      "</title></head><body><a href=\"docs/a.html\">a</a>"
                      "<a href=\"missing.html\">gone</a><a href=\"http://example.com/\">w</a>"
                      "<a href=\"mailto:x@example.com\">m</a></body></HTML>");
    folder_.Write("site/docs/a.html", "<html><title>A</title><a href=\"https://example.org\">");
    folder_.Write("site/docs/deep/b.HTM", "<html><title>B</title>");
    folder_.Write("site/docs/deep/c.xhtml", "<html><title>C</title>");
    folder_.Write("site/docs/deep/d.shtml", "<html><title>D</title>");
    folder_.Write("site/folder.html/inner.html", "<html><title>Inner</title>");
    folder_.Write("site/notes.txt", "plain notes, no marker");
    folder_.Write("site/fake.html", "this file only pretends to be a page");
    folder_.Write("site/empty.htm", "");
    folder_.Write("outside/x.html", "<html><title>Outside</title>");
    fs::create_symlink("nowhere.html", folder_.path() / "site/dangling.html");
    fs::create_symlink("docs", folder_.path() / "site/linked-docs");
    fs::create_symlink("docs/a.html", folder_.path() / "site/inside-link.html");
    fs::create_symlink(folder_.path() / "outside/x.html", folder_.path() / "site/outside.html");
    ASSERT_EQ(::mkfifo((folder_.path() / "site/pipe.html").c_str(), 0644), 0);
  }

  TempFolder folder_;
};

TEST_F(CommandLine, EachFormatWritesExactlyThis) {
  WriteSmallSite();
  struct Case {
    std::string format;
    std::string expected;
  };
  const Case cases[] = {
      {"tsv",
       "File\tTitle\tLength(Title)\tBrocken_A\n"
       "small/a.html\tПривет, \"мир\"\t13\tgone.html\n"
       "small/b.html\tTab\\there\t8\t\n"},
      {"csv",
       "File,Title,Length(Title),Brocken_A\n"
       "small/a.html,\"Привет, \"\"мир\"\"\",13,gone.html\n"
       "small/b.html,Tab\\there,8,\n"},
      {"jsonl",
       "{\"File\":\"small/a.html\",\"Title\":\"Привет, \\\"мир\\\"\",\"Length(Title)\":13,"
       "\"Brocken_A\":\"gone.html\"}\n"
       "{\"File\":\"small/b.html\",\"Title\":\"Tab\\there\",\"Length(Title)\":8,"
       "\"Brocken_A\":\"\"}\n"},
      {"table",
       "File          Title          Length(Title)  Brocken_A\n"
       "small/a.html  Привет, \"мир\"             13  gone.html\n"
       "small/b.html  Tab\\there                  8\n"},
  };
  for (const Case& c : cases) {
    const ProgramRun run =
        Run({"--format", c.format, "--fields", "Title,Length(Title),Brocken_A", "small"});
    EXPECT_EQ(run.exit_code, 0) << c.format;
    EXPECT_EQ(run.out, c.expected) << c.format;
  }
}

TEST_F(CommandLine, WritesATableToATerminal) {
  const char* script = "/usr/bin/script";  // runs a command on a terminal of its own
  if (!fs::exists(script)) GTEST_SKIP() << "no " << script << " to give the program a terminal";
  WriteSmallSite();
  const std::string command =
      std::string("'") + PAGEFIELDS_CLI_PATH + "' --fields 'Title,Length(Title)' small";
  const ProgramRun run = RunProgram(script, {"-qec", command, "/dev/null"}, folder_.path(),
                                    folder_.path() / "captured");
  EXPECT_EQ(run.exit_code, 0);
  // The terminal ends lines with CR LF; the summary follows on the same terminal.
  EXPECT_EQ(run.out.substr(0, run.out.find("pagefields:")),
            "File          Title          Length(Title)\r\n"
            "small/a.html  Привет, \"мир\"             13\r\n"
            "small/b.html  Tab\\there                  8\r\n");
}

TEST_F(CommandLine, CodePageDecidesTheUtf8AndRawKeepsTheBytes) {
  WriteSmallSite();
  struct Case {
    std::vector<std::string> options;
    std::string title;
  };
  const Case cases[] = {
      {{}, "Привет, \"мир\""},
      {{"--codepage", "1251"}, "Привет, \"мир\""},
      {{"--codepage", "1252"}, "Ïðèâåò, \"ìèð\""},
      {{"--raw"}, kGreeting1251},
      {{"--codepage", "auto"}, "Привет, \"мир\""},
      {{"--codepage", "KOI8-R"}, "оПХБЕР, \"ЛХП\""},
      // A host buffer of N bytes holds N - 1 bytes and never half a character.
      {{"--max-len", "4"}, "П"},
      {{"--max-len", "5"}, "Пр"},
      {{"--max-len", "7"}, "При"},
      {{"--max-len", "4", "--raw"}, kGreeting1251.substr(0, 3)},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"--fields", "Title,Length(Title)", "small/a.html"});
    const ProgramRun run = Run(arguments);
    EXPECT_EQ(run.exit_code, 0);
    // The length is the raw length, whatever cut the text gets.
    EXPECT_EQ(run.out, "File\tTitle\tLength(Title)\nsmall/a.html\t" + c.title + "\t13\n")
        << ::testing::PrintToString(c.options);
  }
}

// The bytes that two hexadecimal digits each stand for.
std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// The text of `key`'s string value in a jsonl line (no escapes expected), or "-" without it.
std::string JsonString(const std::string& line, const std::string& key) {
  const std::string opening = "\"" + key + "\":\"";
  const std::size_t start = line.find(opening);
  if (start == std::string::npos) return "-";
  const std::size_t from = start + opening.size();
  return line.substr(from, line.find('"', from) - from);
}

// Characters of a UTF-8 line, as a terminal lays them out.
std::size_t Columns(const std::string& line) {
  std::size_t columns = 0;
  for (const char byte : line) columns += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  return columns;
}

TEST_F(CommandLine, PathsThatAreNotUtf8StayDistinctAndRecoverable) {
  // "главная" in Windows-1251, the same with its last byte changed, the byte Windows-1251
  // leaves unassigned, and the UTF-8 replacement character that byte is shown as.
  const std::vector<std::string> names = {"\xE3\xEB\xE0\xE2\xED\xE0\xFF.html",
                                          "\xE3\xEB\xE0\xE2\xED\xE0\xFE.html", "\x98.html",
                                          "\xEF\xBF\xBD.html", "plain.html"};
  for (const std::string& name : names) folder_.Write("site/" + name, "<html><title>T</title>");

  const ProgramRun jsonl = Run({"--format", "jsonl", "--fields", "Title", "site"});
  ASSERT_EQ(jsonl.exit_code, 0) << jsonl.err;
  const std::vector<std::string> lines = Lines(jsonl.out);
  ASSERT_EQ(lines.size(), names.size());
  std::vector<std::string> recovered;
  for (const std::string& line : lines) {
    const std::string file = JsonString(line, "File");
    const std::string bytes = JsonString(line, "File_bytes");
    // A UTF-8 path is exact as it stands; any other is recovered from its bytes.
    recovered.push_back(bytes == "-" ? file : FromHex(bytes));
    EXPECT_TRUE(fs::exists(folder_.path() / recovered.back())) << line;
  }
  std::vector<std::string> expected;
  for (const std::string& name : names) expected.push_back("site/" + name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(recovered, expected);
  // People read the names decoded, the same as text is.
  EXPECT_NE(jsonl.out.find("{\"File\":\"site/главная.html\",\"File_bytes\":\"736974652f"
                           "e3ebe0e2ede0ff2e68746d6c\",\"Title\":\"T\"}"),
            std::string::npos)
      << jsonl.out;

  const ProgramRun tsv = Run({"--fields", "Title", "site"});
  EXPECT_EQ(FileColumn(tsv.out),
            (std::vector<std::string>{"site/plain.html", "site/\xEF\xBF\xBD.html",
                                      "site/главнаю.html", "site/главная.html",
                                      "site/\xEF\xBF\xBD.html"}));  // in the order of the raw bytes
  EXPECT_EQ(FileColumn(Run({"--raw", "--fields", "Title", "site"}).out), expected);

  // The table's Title column starts at the same place on every line.
  const ProgramRun table = Run({"--format", "table", "--fields", "Title,Length(Title)", "site"});
  const std::vector<std::string> rows = Lines(table.out);
  ASSERT_EQ(rows.size(), names.size() + 1);
  for (const std::string& row : rows) EXPECT_EQ(Columns(row), Columns(rows[0])) << row;
}

TEST_F(CommandLine, MessagesEscapeControlBytesInPaths) {
  folder_.Write("site/two\nlines.html", "not a page");
  const ProgramRun run = Run({"site"});
  EXPECT_NE(run.err.find("pagefields: site/two\\nlines.html: not HTML"), std::string::npos)
      << run.err;
}

TEST_F(CommandLine, WalksFoldersAndReportsEveryFileThatIsNoPage) {
  WriteMixedSite();
  const ProgramRun run = Run({"--fields", "Title", "site"});
  EXPECT_EQ(run.exit_code, 5);  // the dangling link and the pipe could not be read
  EXPECT_EQ(FileColumn(run.out),
            (std::vector<std::string>{"site/docs/a.html", "site/docs/deep/b.HTM",
                                      "site/docs/deep/c.xhtml", "site/docs/deep/d.shtml",
                                      "site/folder.html/inner.html", "site/index.html",
                                      "site/inside-link.html"}));
  EXPECT_EQ(WithoutTime(run.err),
            "pagefields: site/outside.html: not followed: symbolic link leads out of the folder\n"
            "pagefields: site/dangling.html: cannot be read: No such file or directory\n"
            "pagefields: site/empty.htm: not HTML: no <HTML> in the first 64 bytes\n"
            "pagefields: site/fake.html: not HTML: no <HTML> in the first 64 bytes\n"
            "pagefields: site/pipe.html: cannot be read: not a regular file\n"
            "pagefields: 11 files considered, 7 HTML pages, 2 not HTML, 2 unreadable, "
            "1 page with a missing internal link");
}

TEST_F(CommandLine, AllFilesAndNamedFilesAreConsideredWhateverTheirName) {
  WriteMixedSite();
  const ProgramRun all = Run({"--all-files", "--fields", "Title", "site/docs", "site/notes.txt"});
  EXPECT_EQ(all.exit_code, 0);
  EXPECT_EQ(FileColumn(all.out).size(), 4u);
  EXPECT_NE(all.err.find("site/notes.txt: not HTML"), std::string::npos) << all.err;

  folder_.Write("site/page.txt", "<html><title>Named</title>");
  const ProgramRun named = Run({"--fields", "Title", "site/page.txt"});
  EXPECT_EQ(named.exit_code, 0);
  EXPECT_EQ(named.out, "File\tTitle\nsite/page.txt\tNamed\n");
}

TEST_F(CommandLine, UnreadableFileIsReported) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
  const std::string page = folder_.Write("locked/p.html", "<html><title>T</title>");
  fs::permissions(page, fs::perms::none);
  const ProgramRun run = Run({"locked"});
  EXPECT_EQ(run.exit_code, 5);
  EXPECT_NE(run.err.find("locked/p.html: cannot be read: Permission denied"), std::string::npos)
      << run.err;
}

// A read that fails even for root: /proc/self/mem opens as a regular file, but its first
// bytes are the program's own page 0, which is never mapped, so the read fails.
TEST_F(CommandLine, FileWhoseReadFailsIsReportedAndCounted) {
  if (!fs::exists("/proc/self/mem")) GTEST_SKIP() << "no /proc/self/mem whose read fails";
  WriteSmallSite();
  const ProgramRun run = Run({"--fields", "Length(Title)", "small", "/proc/self/mem"});
  EXPECT_EQ(run.exit_code, 5);
  EXPECT_EQ(run.out, "File\tLength(Title)\nsmall/a.html\t13\nsmall/b.html\t8\n");
  EXPECT_EQ(WithoutTime(run.err),
            "pagefields: /proc/self/mem: cannot be read: Input/output error\n"
            "pagefields: 3 files considered, 2 HTML pages, 0 not HTML, 1 unreadable, "
            "1 page with a missing internal link");
}

TEST_F(CommandLine, ParallelRunsWriteTheSameAsOneWorker) {
  WriteMixedSite();
  for (int i = 0; i < 300; ++i) {
    // Pages of very different sizes, so that workers finish out of order.
    const std::string body((i * 7919) % 30000, 'x');
    folder_.Write("site/many/" + std::to_string(i % 10) + "/p" + std::to_string(i) + ".html",
                  "<html><title>Page " + std::to_string(i) + "</title><p>" + body + "<a href=\"p" +
                      std::to_string(i + 1) + ".html\">next</a>");
  }
  const ProgramRun one = Run({"-j", "1", "site"});
  const ProgramRun four = Run({"-j", "4", "site"});
  EXPECT_EQ(one.exit_code, 5);  // the mixed site's dangling link and pipe
  EXPECT_EQ(four.exit_code, 5);
  EXPECT_EQ(FileColumn(one.out).size(), 307u);
  EXPECT_EQ(one.out, four.out);
  EXPECT_EQ(WithoutTime(one.err), WithoutTime(four.err));
}

TEST_F(CommandLine, ExitCodes) {
  WriteMixedSite();
  struct Case {
    std::vector<std::string> arguments;
    int exit_code;
  };
  const Case cases[] = {
      {{"site/docs"}, 0},
      {{"--fail-on-broken", "site/docs"}, 0},
      {{"--fail-on-broken", "site/index.html"}, 1},
      {{"--fail-on-broken", "--max-len", "1", "site/index.html"}, 1},  // the cut hides no link
      {{"--no-cut", "--fail-on-broken", "site/index.html"}, 1},
      // The dangling link and the pipe in site/ cannot be read: no gate passes them.
      {{"site"}, 5},
      {{"--fail-on-broken", "site"}, 5},
      {{"site/docs", "site/pipe.html"}, 5},
      {{"--max-len", "-1", "site"}, 2},
      {{"--max-len", "8", "--no-cut", "site"}, 2},
      {{}, 2},
      {{"--format", "xml", "site"}, 2},
      {{"--fields", "Title,Brocken", "site"}, 2},
      {{"--fields", "", "site"}, 2},
      {{"--codepage", "no-such-code-page", "site"}, 2},
      {{"--codepage", "UTF-8", "site"}, 2},  // not single-byte
      {{"--format", "csv", "--raw", "site"}, 2},
      {{"-j", "0", "site"}, 2},
      {{"--max-len", "0", "site"}, 2},
      {{"--no-such-option", "site"}, 2},
      {{"site/nothing-here"}, 3},
      {{"site/docs", "site/nothing-here"}, 3},
      {{"--fail-on-broken", "site", "site/nothing-here"}, 3},
      {{"site/docs", "site/dangling.html"}, 3},
      {{"--help"}, 0},
      {{"--version"}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.arguments).exit_code, c.exit_code) << ::testing::PrintToString(c.arguments);
  }
}

TEST_F(CommandLine, OutputThatCannotBeWrittenFails) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fail the writes";
  WriteSmallSite();
  const ProgramRun run = RunProgram(PAGEFIELDS_CLI_PATH, {"small"}, folder_.path(),
                                    folder_.path() / "captured", "/dev/full");
  EXPECT_EQ(run.exit_code, 4);
  EXPECT_NE(run.err.find("the output could not be written"), std::string::npos) << run.err;
}

TEST_F(CommandLine, MissingPathIsNamedAndTheRestIsStillShown) {
  WriteMixedSite();
  const ProgramRun run = Run({"--fields", "Title", "site/docs/a.html", "site/nothing-here"});
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(run.out, "File\tTitle\nsite/docs/a.html\tA\n");
  EXPECT_NE(run.err.find("pagefields: site/nothing-here: no such file or folder\n"),
            std::string::npos)
      << run.err;
}

TEST_F(CommandLine, UsageErrorsAndHelpSayWhat) {
  const ProgramRun unknown = Run({"--fields", "Brocken", "."});
  EXPECT_NE(unknown.err.find("no field named 'Brocken'"), std::string::npos) << unknown.err;
  const ProgramRun help = Run({"--help"});
  EXPECT_NE(help.out.find("Usage: pagefields"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--fail-on-broken"), std::string::npos);
  EXPECT_EQ(Run({"--version"}).out, "pagefields " PAGEFIELDS_VERSION "\n");
}

TEST_F(CommandLine, ManPageDescribesEveryOption) {
  std::string man_page = ReadWholeFile(PAGEFIELDS_MAN_PAGE);
  for (std::size_t at; (at = man_page.find("\\-")) != std::string::npos;) {
    man_page.replace(at, 2, "-");
  }
  const std::string help = Run({"--help"}).out;
  int options = 0;
  for (std::size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
    const std::size_t end = help.find_first_of(" ,\n", at);
    const std::string option = help.substr(at, end - at);
    EXPECT_NE(man_page.find(option), std::string::npos) << option;
    ++options;
  }
  EXPECT_GE(options, 11);
}

// A page drawn from pieces that every extractor reacts to: entities, blanks and line breaks,
// meta tags, links of every kind, noindex blocks, Windows-1251 and UTF-8 words, a NUL byte.
std::string RandomPage(std::mt19937& random) {
  static const std::vector<std::string> pieces = {
      "<title>Garage &laquo;Fast&raquo; &nbsp;\tcars</title>",
      "<TITLE>\xCF\xF0\xE8\xE2\xE5\xF2\r\n</TITLE>",
      "<title>nul\0here</title>"s,
      "<meta name=\"description\" content=\"Tuned &ndash; and tested\">",
      "<meta name=keywords content=\"cars, speed\">",
      "<h1>Head &quot;one&quot;</h1>",
      "<h2>Second\nline</h2>",
      "<h2>Дом &laquo;мой&raquo; — café</h2>",                 // UTF-8
      "<noindex>UTF-8 мир and \xEC\xE8\xF0 in one</noindex>",  // UTF-8 and Windows-1251
      "<a href=\"http://example.com/\">web</a>",
      "<a href=\"mailto:shop@example.com\">mail</a>",
      "<a href=\"exists.html\">here</a>",
      "<a href=\"gone.html\">gone</a>",
      "<a href='sub/gone.htm#x'>gone too</a>",
      "<noindex>hidden &mdash; text</noindex>",
      "<p>Plain text with words and \xEC\xE8\xF0 letters.</p>",
      "<br><b>bold</b> & more",
      std::string(300, 'w') + " ",
  };
  std::string page = "<html>";
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int i = 0; i < 12; ++i) page += pieces[pick(random)];
  return page + "</html>";
}

// Every field of every page, the generated ones and the bundled example site, for several
// host buffer sizes.
TEST_F(CommandLine, ValuesEqualWhatThePluginDelivers) {
  std::mt19937 random(20240607);
  folder_.Write("site/exists.html", "<html>");
  // 20,000 nested noindex blocks: uncut, their text would be 200 million bytes; the cut
  // keeps the work to what the buffer shows.
  std::string nested = "<html>";
  for (int i = 0; i < 20000; ++i) nested += "<noindex>x";
  folder_.Write("site/nested.html", nested + "</noindex>");
  for (int i = 0; i < 40; ++i) {
    folder_.Write("site/" + std::to_string(i % 3) + "/p" + std::to_string(i) + ".html",
                  RandomPage(random));
  }
  const std::string site = (folder_.path() / "site").string();
  for (const int max_len : {65536, 1, 2, 9}) {
    const ProgramRun run =
        Run({"--max-len", std::to_string(max_len), site, PAGEFIELDS_EXAMPLE_SITE});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 45u);
    for (std::size_t line = 1; line < lines.size(); ++line) {
      const std::vector<std::string> cells = Cells(lines[line]);
      ASSERT_EQ(cells.size(), 19u);
      for (const Field field : kAllFields) {
        const Answer answer = Ask(cells[0], field, max_len);
        const std::string expected = answer.result == PAGEFIELDS_FIELD_TYPE_NUMERIC32
                                         ? std::to_string(answer.number())
                                         : cli::EscapeForLine(answer.text());
        EXPECT_EQ(cells[RowIndex(field) + 1], expected)
            << cells[0] << " " << RowOf(field).name << " max_len " << max_len;
      }
    }
  }
}

}  // namespace
}  // namespace pagefields::testing
