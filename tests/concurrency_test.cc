// Many requests at once through the loaded library: every answer must equal the answer the
// same request gets alone. Run under ThreadSanitizer by the "tsan" preset.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/loaded_plugin.h"
#include "tests/temp_folder.h"

namespace pagefields::testing {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 20;
constexpr int kMaxLens[] = {1024, 7};

std::vector<std::string> WritePages(const TempFolder& folder) {
  folder.Write("there.htm", "<html>");
  folder.MakeFolder("sub");
  return {
      folder.Write("plain.htm",
                   "<html><head><title>Fast &laquo;cars&raquo;</title>\r\n"
                   "<meta name=description content=\"Cars, fast &ndash; and red\">\r\n"
                   "<meta name='keywords' content='cars, speed'></head><body>\r\n"
                   "<h1>Top</h1><h2>Second</h2><p>Text<br>more\r\n"
                   "<a href=\"http://example.test/\">w</a><a href=mailto:x@y>m</a>"
                   "<a href=there.htm>ok</a><a href=\"gone.htm#part\">gone</a>"
                   "<noindex>hidden <b>bold</b></noindex></body></html>"),
      folder.Write("cyrillic.htm",
                   "<HTML><TITLE>\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0</TITLE>"
                   "<META NAME=KEYWORDS CONTENT=\"\xEA\xEE\xF2, \xEF\xB8\xF1\">"
                   "<A HREF=sub>dir</A><A HREF='//cdn.test/x.js'>cdn</A>"
                   "<NOINDEX>\xF2\xE5\xEA\xF1\xF2\r\n</NOINDEX></HTML>"),
      folder.Write("hostile.htm", "<html>" + std::string(2000, '<') + "<a<a<a href=x" +
                                      std::string(300, ' ') + "<noindex><noindex></noindex>"),
      folder.Write("not-html.txt", "just text, no marker"),
  };
}

TEST(ConcurrentRequests, EveryAnswerEqualsTheSingleThreadedOne) {
  const TempFolder folder;
  const std::vector<std::string> pages = WritePages(folder);
  ASSERT_NE(LoadedPlugin().get_value, nullptr) << LoadedPlugin().error();

  struct Case {
    std::string path;
    Field field;
    int max_len;
    Answer expected;
  };
  std::vector<Case> cases;
  for (const std::string& page : pages) {
    for (const Field field : kAllFields) {
      for (const int max_len : kMaxLens)
        cases.push_back({page, field, max_len, Ask(page, field, max_len)});
    }
  }

  std::atomic<int> differences{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        // Each thread walks the cases from its own starting point, so neighbours differ.
        for (std::size_t i = 0; i < cases.size(); ++i) {
          const Case& c = cases[(i + static_cast<std::size_t>(t) * 7) % cases.size()];
          const Answer got = Ask(c.path, c.field, c.max_len);
          if (got.result != c.expected.result || got.buffer != c.expected.buffer) ++differences;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(differences.load(), 0);
  // The page set exercises both answer kinds and the refusal.
  EXPECT_EQ(cases.front().expected.result, PAGEFIELDS_FIELD_TYPE_STRING);
  EXPECT_EQ(cases.back().expected.result, PAGEFIELDS_VALUE_NOT_SUPPORTED);
}

}  // namespace
}  // namespace pagefields::testing
