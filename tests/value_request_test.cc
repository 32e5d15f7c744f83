// Value requests through the loaded library, on files written by the test.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "tests/loaded_plugin.h"
#include "tests/temp_folder.h"

namespace pagefields::testing {
namespace {

using namespace std::string_literals;

class ValueRequest : public ::testing::Test {
 protected:
  TempFolder folder_;
};

TEST_F(ValueRequest, Bit0OfFlagsDelaysWithoutTouchingAnything) {
  const std::string page = folder_.Write("p.html", "<html><title>T</title>");
  for (const int flags : {1, -1, 3, 0x7FFFFFFF}) {
    for (const std::string& path : {page, (folder_.path() / "missing.html").string()}) {
      const Answer answer = Ask(path, Field::kTitle, 16, flags);
      EXPECT_EQ(answer.result, PAGEFIELDS_VALUE_DELAYED) << "flags " << flags;
      EXPECT_EQ(answer.bytes_written(16), 0);
    }
  }
  EXPECT_EQ(Ask(page, Field::kTitle, 16, 2).result, PAGEFIELDS_FIELD_TYPE_STRING);
  EXPECT_EQ(Ask(page, Field::kTitle, 16, 2).text(), "T");
}

TEST_F(ValueRequest, UnitIndexIsIgnored) {
  const std::string page = folder_.Write("p.html", "<html><title>T</title>");
  for (const int unit : {0, 1, -1, 99})
    EXPECT_EQ(Ask(page, Field::kTitle, 16, 0, unit).text(), "T");
}

TEST_F(ValueRequest, RecognisesHtmlByTheFirst64Bytes) {
  const std::string rest = "<title>Page</title>";
  struct Case {
    std::string name;
    std::string bytes;
    bool recognised;
  };
  const Case cases[] = {
      {"empty", "", false},
      {"five bytes", "<HTML", false},
      {"six bytes", "<HTML>", true},
      {"six bytes, small letters", "<hTmL>", true},
      {"marker at 59..64", std::string(58, ' ') + "<html>" + rest, true},
      {"marker at 60..65", std::string(59, ' ') + "<html>" + rest, false},
      {"html tag with attributes", "<html lang=en>" + rest, false},
      {"utf-16", "<\0h\0t\0m\0l\0>\0"s + rest, false},
      {"quoted in a text file", "the tag <HTML> opens a page", true},
  };
  for (const auto& c : cases) {
    const std::string path = folder_.Write("sniff.html", c.bytes);
    const Answer answer = Ask(path, Field::kTitle, 64);
    if (c.recognised) {
      EXPECT_EQ(answer.result, PAGEFIELDS_FIELD_TYPE_STRING) << c.name;
    } else {
      EXPECT_EQ(answer.result, PAGEFIELDS_VALUE_NOT_SUPPORTED) << c.name;
      EXPECT_EQ(answer.bytes_written(64), 0) << c.name;
    }
  }
}

TEST_F(ValueRequest, MarkerOnlyPageHasEmptyFields) {
  const std::string page = folder_.Write("bare.html", "<HTML>");
  EXPECT_EQ(AskText(page, Field::kTitle), "");
  EXPECT_EQ(AskNumber(page, Field::kTitleLength), 0);
  EXPECT_EQ(AskNumber(page, Field::kLinks), 0);
}

TEST_F(ValueRequest, ReadsTheRestBehindTheSniff) {
  // "<HTML><title>" (13 bytes) + x-run + "</title>" (8 bytes) at exactly 64 and 65 bytes.
  for (const int size : {63, 64, 65, 200000}) {
    const std::string title(static_cast<std::size_t>(size - 21), 'x');
    const std::string page = folder_.Write("sized.html", "<HTML><title>" + title + "</title>");
    EXPECT_EQ(AskNumber(page, Field::kTitleLength), size - 21) << "file of " << size << " bytes";
  }
}

TEST_F(ValueRequest, UnreadablePathsAreNotSupported) {
  const std::string paths[] = {
      (folder_.path() / "missing.html").string(),
      folder_.MakeFolder("folder.html"),
      "",
  };
  for (const auto& path : paths) {
    const Answer answer = Ask(path, Field::kTitle, 16);
    EXPECT_EQ(answer.result, PAGEFIELDS_VALUE_NOT_SUPPORTED) << "'" << path << "'";
    EXPECT_EQ(answer.bytes_written(16), 0);
  }
}

TEST_F(ValueRequest, FieldIndexOutsideTableIsNotSupported) {
  const std::string page = folder_.Write("p.html", "<html><title>T</title>");
  for (const int field : {-1, 18, 1000}) {
    const Answer answer = Ask(page, field, 16);
    EXPECT_EQ(answer.result, PAGEFIELDS_VALUE_NOT_SUPPORTED) << field;
    EXPECT_EQ(answer.bytes_written(16), 0);
  }
}

TEST_F(ValueRequest, EntitiesDecodedAtDeliveryOnly) {
  const std::string page = folder_.Write("e.html", "<html><title>A&nbsp;B</title>");
  EXPECT_EQ(AskText(page, Field::kTitle), "A B");
  EXPECT_EQ(AskNumber(page, Field::kTitleLength), 8);
  EXPECT_EQ(AskNumber(page, Field::kTitleWords), 3);

  const std::string kept = folder_.Write("k.html", "<html><h1>&NBSP;&amp;&laquo;</h1>");
  EXPECT_EQ(AskText(kept, Field::kH1), AsDelivered("&NBSP;&amp;\xAB"));
}

TEST_F(ValueRequest, StringsAreCutToMaxLenMinusOne) {
  const std::string page = folder_.Write("long.html", "<html><h2>abcdefgh</h2>");
  const Answer cut = Ask(page, Field::kH2, 4);
  EXPECT_EQ(cut.result, PAGEFIELDS_FIELD_TYPE_STRING);
  EXPECT_EQ(cut.text(), "abc");
  EXPECT_TRUE(cut.guards_intact(4));
  EXPECT_EQ(Ask(page, Field::kH2, 1).text(), "");
  EXPECT_EQ(Ask(page, Field::kH2, 9).text(), "abcdefgh");

  const std::string decoded = folder_.Write("d.html", "<html><title>&mdash;&mdash;x</title>");
#if defined(_WIN32)
  EXPECT_EQ(Ask(decoded, Field::kTitle, 3).text(), "\x97\x97");
#else
  EXPECT_EQ(Ask(decoded, Field::kTitle, 4).text(), "—");  // three bytes in UTF-8
#endif
  EXPECT_EQ(AskNumber(decoded, Field::kTitleLength), 15);
}

TEST_F(ValueRequest, StringStopsAtItsFirstNul) {
  const std::string page = folder_.Write("with-nul.html", "<html><title>ab\0cd</title>"s);
  EXPECT_EQ(AskText(page, Field::kTitle), "ab");
  EXPECT_EQ(AskNumber(page, Field::kTitleLength), 5);
}

TEST_F(ValueRequest, NumbersFillExactlyFourBytes) {
  const std::string title(0x0102, 'x');
  const std::string page = folder_.Write("n.html", "<html><title>" + title + "</title>");
  const int max_len = 16;
  const Answer answer = Ask(page, Field::kTitleLength, max_len);
  EXPECT_EQ(answer.result, PAGEFIELDS_FIELD_TYPE_NUMERIC32);
  EXPECT_EQ(std::string(answer.value(), 4), "\x02\x01\0\0"s);
  EXPECT_EQ(std::string(answer.value() + 4, max_len - 4), std::string(max_len - 4, '\x5A'));
  EXPECT_TRUE(answer.guards_intact(max_len));
}

// Writes a file whose name is single-byte text, as a host names files: through the ANSI
// calls on Windows, as raw bytes elsewhere. Returns its path.
std::string WriteByByteName(const TempFolder& folder, const std::string& name,
                            const std::string& bytes) {
#if defined(_WIN32)
  const std::string path = folder.path().string() + "\\" + name;
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  return path;
#else
  return folder.Write(name, bytes);
#endif
}

TEST_F(ValueRequest, PathBytesAbove127ReachTheFileSystemUnchanged) {
  WriteByByteName(folder_, "caf\xE9.html", "<html>");
  const std::string page =
      WriteByByteName(folder_, "\xABindex\xBB.html",
                      "<html><title>T</title><a href=caf\xE9.html><a href=\xE9t\xE9.html>");
  EXPECT_EQ(AskText(page, Field::kTitle), "T");
  EXPECT_EQ(AskText(page, Field::kBrokenLink), AsDelivered("\xE9t\xE9.html"));
}

TEST_F(ValueRequest, ReadsAFileAnotherHandleHoldsOpen) {
  const std::string page = folder_.Write("held.html", "<html><title>T</title>");
  std::ifstream holder(page, std::ios::binary);
  ASSERT_TRUE(holder.is_open());
  EXPECT_EQ(AskText(page, Field::kTitle), "T");
}

// Positions are signed 32-bit: a page of 2 GiB or more is refused, not read in part. The
// files are sparse; the last one's size has small low 32 bits, as a 32-bit size query sees it.
TEST_F(ValueRequest, PageOf2GiBOrMoreIsNotSupported) {
  const std::string head = "<html><title>T</title><a href=\"missing.html\">x</a>";
  for (const std::uintmax_t size : {0x80000000ULL, 0x80000001ULL, 0x100000040ULL}) {
    const std::string page = folder_.Write("huge.html", head);
    std::error_code error;
    std::filesystem::resize_file(page, size, error);
    if (error) GTEST_SKIP() << "no sparse file of " << size << " bytes here: " << error.message();
    for (const Field field :
         {Field::kTitle, Field::kTitleLength, Field::kLinks, Field::kBrokenLink}) {
      const Answer answer = Ask(page, field, 16);
      EXPECT_EQ(answer.result, PAGEFIELDS_VALUE_NOT_SUPPORTED)
          << size << " bytes, " << RowOf(field).name;
      EXPECT_EQ(answer.bytes_written(16), 0) << size << " bytes, " << RowOf(field).name;
    }
    std::filesystem::remove(page);
  }
}

#if !defined(_WIN32)
// A named pipe among the pages: with no writer its open would wait for one, with a silent
// writer its read would wait forever, and with a page sent into it the request would take
// bytes meant for another reader. Each is refused at once and the pipe keeps its bytes.
TEST_F(ValueRequest, NamedPipeIsRefusedWithoutWaitingOrReading) {
  struct Case {
    const char* name;
    bool writer;
    std::string sent;
  };
  const Case cases[] = {
      {"no writer", false, ""},
      {"a writer that sends nothing", true, ""},
      {"a writer that sent a page", true, "<html><title>T</title>"},
  };
  const std::string pipe = (folder_.path() / "pipe.html").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const auto& c : cases) {
    int holder = c.writer ? ::open(pipe.c_str(), O_RDWR | O_NONBLOCK) : -1;
    ASSERT_EQ(holder >= 0, c.writer) << c.name;
    if (!c.sent.empty()) {
      ASSERT_EQ(::write(holder, c.sent.data(), c.sent.size()), static_cast<ssize_t>(c.sent.size()));
    }
    auto request = std::async(std::launch::async, [&pipe] { return Ask(pipe, Field::kTitle, 16); });
    const bool answered = request.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!answered) {
      // Ends the pipe, so a request stuck in its open or its read returns.
      if (holder >= 0) ::close(holder);
      holder = -1;
      const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
    }
    const Answer answer = request.get();
    EXPECT_TRUE(answered) << c.name;
    EXPECT_EQ(answer.result, PAGEFIELDS_VALUE_NOT_SUPPORTED) << c.name;
    EXPECT_EQ(answer.bytes_written(16), 0) << c.name;
    if (holder >= 0) {
      std::string left(c.sent.size() + 1, '\0');
      const ssize_t got = ::read(holder, left.data(), left.size());
      left.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
      EXPECT_EQ(left, c.sent) << c.name;
      ::close(holder);
    }
  }
}
#else
// A named pipe's path: the open connects to the pipe's server, and a read would wait until
// the server writes. The request is refused at once.
TEST_F(ValueRequest, NamedPipeIsRefusedWithoutWaiting) {
  const std::string pipe =
      "\\\\.\\pipe\\pagefields-value-request-" + std::to_string(::GetCurrentProcessId());
  const HANDLE server = ::CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  auto request = std::async(std::launch::async, [&pipe] { return Ask(pipe, Field::kTitle, 16); });
  const bool answered = request.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!answered) {
    // Ends the client's side of the pipe, so a request stuck in its read returns.
    ::DisconnectNamedPipe(server);
  }
  const Answer answer = request.get();
  ::CloseHandle(server);
  EXPECT_TRUE(answered);
  EXPECT_EQ(answer.result, PAGEFIELDS_VALUE_NOT_SUPPORTED);
  EXPECT_EQ(answer.bytes_written(16), 0);
}
#endif

}  // namespace
}  // namespace pagefields::testing
