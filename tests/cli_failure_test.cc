// The pagefields program where things fail: pages that cannot be read whole, output that
// cannot be written, a run stopped by a signal, paths that lead nowhere or loop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/run_program.h"
#include "tests/temp_folder.h"

namespace pagefields::testing {
namespace {

namespace fs = std::filesystem;

const std::string kPage = "<html><head><title>Page</title></head><body>" + std::string(100, ' ') +
                          "<a href=\"p.html\">p</a><a href=\"missing.html\">gone</a></body></html>";

// The number the summary line on standard error gives for "files considered".
long FilesConsidered(const std::string& err) {
  const std::size_t considered = err.rfind(" considered, ");
  const std::size_t at = err.rfind("pagefields: ", considered);
  if (considered == std::string::npos || at == std::string::npos) return -1;
  return std::stol(err.substr(at + 12));
}

bool EveryLineIsWholeJson(const std::string& out) {
  if (!out.empty() && out.back() != '\n') return false;
  for (std::size_t start = 0; start < out.size();) {
    const std::size_t end = out.find('\n', start);
    if (out[start] != '{' || out[end - 1] != '}') return false;
    start = end + 1;
  }
  return true;
}

class FailingRun : public ::testing::Test {
 protected:
  FailingRun() { folder_.MakeFolder("captured"); }

  ProgramRun Run(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& out_file = "") const {
    return RunProgram(program, arguments, folder_.path(), folder_.path() / "captured", out_file);
  }

  // `count` links to one page in site/, each considered as a page of its own.
  void WriteLinkedSite(int count, const std::string& page) const {
    folder_.Write("site/page.html", page);
    for (int i = 0; i < count; ++i) {
      fs::create_symlink("page.html", folder_.path() / ("site/p" + std::to_string(i) + ".html"));
    }
  }

  TempFolder folder_;
};

TEST_F(FailingRun, PagesThatCannotBeReadWholeAreUnreadableWithTheReason) {
  folder_.Write("site/good.html", kPage);
  folder_.Write("site/eio-after-64.html", kPage);
  folder_.Write("site/eio-after-64.html.fault", "read-error 64");
  folder_.Write("site/eio-after-65.html", kPage);
  folder_.Write("site/eio-after-65.html.fault", "read-error 65");
  folder_.Write("site/no-memory.html", kPage);
  folder_.Write("site/no-memory.html.fault", "no-memory 100");
  folder_.Write("site/shrunk.html", kPage);
  folder_.Write("site/shrunk.html.fault", "shrunk 4096");
  const std::string huge = folder_.Write("site/huge.html", kPage);
  std::error_code error;
  fs::resize_file(huge, 0x80000001ULL, error);
  if (error) GTEST_SKIP() << "no sparse file of 2 GiB here: " << error.message();

  for (const bool fail_on_broken : {false, true}) {
    std::vector<std::string> arguments = {"--fields", "Count(A)", "site"};
    if (fail_on_broken) arguments.insert(arguments.begin(), "--fail-on-broken");
    const ProgramRun run = Run(PAGEFIELDS_FAULTY_CLI_PATH, arguments);
    EXPECT_EQ(run.exit_code, 5) << run.err;
    // A file that shrank is the page as it now is.
    EXPECT_EQ(run.out, "File\tCount(A)\nsite/good.html\t2\nsite/shrunk.html\t2\n");
    EXPECT_EQ(
        run.err.substr(0, run.err.rfind(", ")),
        "pagefields: site/eio-after-64.html: cannot be read: read failed: Input/output error\n"
        "pagefields: site/eio-after-65.html: cannot be read: read failed: Input/output error\n"
        "pagefields: site/huge.html: cannot be read: 2 GiB or more\n"
        "pagefields: site/no-memory.html: cannot be read: out of memory\n"
        "pagefields: 6 files considered, 2 HTML pages, 0 not HTML, 4 unreadable, "
        "2 pages with a missing internal link");
  }
}

// 20,000 nested noindex blocks hold gigabytes of noindex text uncut.
TEST_F(FailingRun, NestedNoindexIsCutByDefaultAndRefusedWhole) {
  std::string nested = "<html>";
  for (int i = 0; i < 20000; ++i) nested += "<noindex>text ";
  for (int i = 0; i < 20000; ++i) nested += "</noindex>";
  folder_.Write("nested.html", nested);

  const auto started = std::chrono::steady_clock::now();
  const ProgramRun cut = Run(PAGEFIELDS_CLI_PATH, {"--raw", "--fields", "Noindex", "nested.html"});
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(cut.exit_code, 0) << cut.err;
  EXPECT_EQ(cut.out.size(), std::string("File\tNoindex\nnested.html\t\n").size() + 65535);

  const ProgramRun whole = Run(PAGEFIELDS_CLI_PATH, {"--no-cut", "nested.html"});
  EXPECT_EQ(whole.exit_code, 5);
  EXPECT_EQ(whole.out.find("nested.html"), std::string::npos);
  EXPECT_NE(whole.err.find("nested.html: cannot be read: Noindex is longer than 16 MiB"),
            std::string::npos)
      << whole.err;
}

TEST_F(FailingRun, FullDiskStopsTheRunAtTheFirstFailedWrite) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fail the writes";
  WriteLinkedSite(3000, kPage);
  const ProgramRun run = Run(PAGEFIELDS_CLI_PATH, {"-j", "1", "site"}, "/dev/full");
  EXPECT_EQ(run.exit_code, 4);
  EXPECT_NE(run.err.find("the output could not be written: No space left on device"),
            std::string::npos)
      << run.err;
  const long considered = FilesConsidered(run.err);
  EXPECT_GT(considered, 0) << run.err;
  EXPECT_LT(considered, 3001) << run.err;
}

// The reader of the pipe has left and SIGPIPE is ignored (the program inherits that), so
// every write fails with EPIPE.
TEST_F(FailingRun, PipeWithoutReaderStopsTheRun) {
  WriteLinkedSite(3000, kPage);
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ::close(pipe_ends[0]);
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
  const std::string err = (folder_.path() / "captured/stderr").string();
  const pid_t child =
      SpawnProgram(PAGEFIELDS_CLI_PATH, {"-j", "1", "site"}, folder_.path(), pipe_ends[1], err);
  ::close(pipe_ends[1]);
  ::sigaction(SIGPIPE, &previous, nullptr);
  ASSERT_GT(child, 0);
  EXPECT_EQ(WaitForExit(child), 4);
  const std::string message = ReadWholeFile(err);
  EXPECT_NE(message.find("the output could not be written: Broken pipe"), std::string::npos)
      << message;
  EXPECT_LT(FilesConsidered(message), 3001) << message;
}

// A page of 4 MB of text and links that takes milliseconds: linked a few thousand times, a
// run lasts for seconds.
std::string SlowPage() {
  std::string page = "<html><title>T</title>";
  for (int i = 0; i < 100000; ++i) {
    page += "<p>text <a href=\"p" + std::to_string(i % 50) + ".html\">x</a> more</p>";
  }
  return page;
}

// Waits until `done` holds or the time is up; tells which.
template <typename Done>
bool WaitFor(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST_F(FailingRun, SignalEndsTheRunAfterAWholeLine) {
  WriteLinkedSite(3000, SlowPage());
  for (const int signal : {SIGINT, SIGTERM}) {
    const fs::path out_path = folder_.path() / "captured/stdout";
    const std::string err = (folder_.path() / "captured/stderr").string();
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(out, 0);
    const pid_t child = SpawnProgram(PAGEFIELDS_CLI_PATH, {"-j", "2", "--format", "jsonl", "site"},
                                     folder_.path(), out, err);
    ::close(out);
    ASSERT_GT(child, 0);
    // Stopped once its first block of lines has been written.
    std::error_code error;
    EXPECT_TRUE(WaitFor([&] { return fs::file_size(out_path, error) > 0; }));
    ::kill(child, signal);
    EXPECT_EQ(WaitForExit(child), 128 + signal) << signal;
    const std::string written = ReadWholeFile(out_path);
    EXPECT_FALSE(written.empty()) << signal;
    EXPECT_TRUE(EveryLineIsWholeJson(written)) << signal;
    const std::string message = ReadWholeFile(err);
    EXPECT_NE(message.find(signal == SIGINT ? "stopped by SIGINT" : "stopped by SIGTERM"),
              std::string::npos)
        << message;
    const long considered = FilesConsidered(message);
    EXPECT_LT(considered, 3001) << message;
    // Every page considered is written: no line is lost or cut.
    EXPECT_EQ(static_cast<long>(std::count(written.begin(), written.end(), '\n')), considered);
  }
}

// On a terminal the progress line shows after a second; a run stopped then erases it before
// the summary.
TEST_F(FailingRun, SignalErasesTheProgressLine) {
  const char* script = "/usr/bin/script";  // runs a command on a terminal of its own
  if (!fs::exists(script)) GTEST_SKIP() << "no " << script << " to give the program a terminal";
  WriteLinkedSite(3000, SlowPage());
  // The shell writes its number and becomes the program, so the test can signal it.
  const std::string command =
      std::string("echo $$ > pid; exec '") + PAGEFIELDS_CLI_PATH + "' -j 1 site > out.tsv";
  const fs::path terminal = folder_.path() / "captured/terminal";
  const int out = ::open(terminal.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(out, 0);
  const pid_t child = SpawnProgram(script, {"-qec", command, "/dev/null"}, folder_.path(), out,
                                   (folder_.path() / "captured/stderr").string());
  ::close(out);
  ASSERT_GT(child, 0);
  const bool drawn =
      WaitFor([&] { return ReadWholeFile(terminal).find(" pages/s") != std::string::npos; });
  const std::string pid = ReadWholeFile(folder_.path() / "pid");
  if (drawn && !pid.empty()) ::kill(static_cast<pid_t>(std::stol(pid)), SIGINT);
  EXPECT_EQ(WaitForExit(child), 130);
  ASSERT_TRUE(drawn);

  const std::string shown = ReadWholeFile(terminal);
  const std::string after = shown.substr(shown.rfind(" pages/s") + 8);
  EXPECT_EQ(after.rfind("\r\x1b[Kpagefields: stopped by SIGINT", 0), 0u) << after;
}

TEST_F(FailingRun, PathsThatLeadNowhereLoopOrRepeat) {
  folder_.Write("tree/index.html", kPage);
  fs::create_symlink("gone.html", folder_.path() / "dangling.html");
  fs::create_symlink("loop.html", folder_.path() / "tree/loop.html");
  fs::create_symlink("tree", folder_.path() / "linked-tree");

  const ProgramRun dangling = Run(PAGEFIELDS_CLI_PATH, {"tree/index.html", "dangling.html"});
  EXPECT_EQ(dangling.exit_code, 3);
  EXPECT_NE(dangling.err.find("pagefields: dangling.html: symbolic link to a missing file\n"),
            std::string::npos)
      << dangling.err;

  const ProgramRun loop = Run(PAGEFIELDS_CLI_PATH, {"tree"});
  EXPECT_EQ(loop.exit_code, 0);
  EXPECT_NE(loop.err.find("pagefields: tree/loop.html: not followed: symbolic link loop\n"),
            std::string::npos)
      << loop.err;
  EXPECT_EQ(Run(PAGEFIELDS_CLI_PATH, {"tree/loop.html"}).exit_code, 3);

  const ProgramRun twice =
      Run(PAGEFIELDS_CLI_PATH, {"--fields", "Title", "tree/index.html", "./tree/index.html", "tree",
                                "linked-tree/index.html", "tree/../tree/index.html"});
  EXPECT_EQ(twice.exit_code, 0) << twice.err;
  EXPECT_EQ(twice.out, "File\tTitle\n./tree/index.html\tPage\n");

  const ProgramRun zero = Run(PAGEFIELDS_CLI_PATH, {"--max-len", "0", "tree"});
  EXPECT_EQ(zero.exit_code, 2);
  EXPECT_NE(zero.err.find("--max-len: must be at least 1"), std::string::npos) << zero.err;
}

}  // namespace
}  // namespace pagefields::testing
