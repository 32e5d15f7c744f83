// Value requests through a build of the plugin whose platform layer fails where a test asks
// it to (tests/faulty_file_access.cc): a page that cannot be loaded whole is answered with
// -5 and an untouched buffer, never with values taken from the part that was read.
#include <gtest/gtest.h>

#include <string>

#include "tests/loaded_plugin.h"
#include "tests/temp_folder.h"

namespace pagefields::testing {
namespace {

constexpr int kMaxLen = 64;

// Five links behind the sniffed bytes, one of them to a missing page.
const std::string kPage =
    "<html><head><title>Five links</title></head><body>                   "
    "<a href=\"http://example.com/\">w</a><a href=\"mailto:a@example.com\">m</a>"
    "<a href=\"p.html\">p</a><a href=\"missing.html\">gone</a><a href=\"p.html#x\">x</a>"
    "<noindex>hidden</noindex></body></html>";

class LoadFailure : public ::testing::Test {
 protected:
  LoadFailure() {
    folder_.Write("p.html", "<html>");
    page_ = folder_.Write("page.html", kPage);
  }

  void InjectFault(const std::string& fault) const { folder_.Write("page.html.fault", fault); }

  TempFolder folder_;
  std::string page_;
};

TEST_F(LoadFailure, SoundLayerReadsThePageWhole) {
  ASSERT_GT(kPage.size(), 201u) << "every fault must cut the page";
  EXPECT_EQ(AskNumber(page_, Field::kLinks), 5);
  EXPECT_EQ(AskText(page_, Field::kBrokenLink), "missing.html");
}

TEST_F(LoadFailure, EveryFieldIsNotSupportedAndTheBufferUntouched) {
  const std::string faults[] = {
      "read-error 0", "read-error 64", "read-error 65", "read-error 200",
      "no-memory 64", "no-memory 65",  "no-memory 200",
  };
  for (const std::string& fault : faults) {
    InjectFault(fault);
    for (const Field field : kAllFields) {
      const Answer answer = Ask(page_, field, kMaxLen);
      EXPECT_EQ(answer.result, PAGEFIELDS_VALUE_NOT_SUPPORTED)
          << fault << ", " << RowOf(field).name;
      EXPECT_EQ(answer.bytes_written(kMaxLen), 0) << fault << ", " << RowOf(field).name;
      EXPECT_TRUE(answer.guards_intact(kMaxLen)) << fault << ", " << RowOf(field).name;
    }
  }
}

TEST_F(LoadFailure, FileThatShrankIsThePageAsItNowIs) {
  InjectFault("shrunk 1000");
  EXPECT_EQ(AskNumber(page_, Field::kLinks), 5);
  EXPECT_EQ(AskNumber(page_, Field::kInternalLinks), 3);
  EXPECT_EQ(AskText(page_, Field::kBrokenLink), "missing.html");
  InjectFault("shrunk 0");
  const std::int32_t text_size = AskNumber(page_, Field::kTextSize);
  InjectFault("shrunk 1");
  EXPECT_EQ(AskNumber(page_, Field::kTextSize), text_size);
}

TEST_F(LoadFailure, FileThatGrewIsReadUpToTheSizeTheOpenLearnt) {
  // Smaller than the sniff: the page is the 64 sniffed bytes, which hold the title only.
  InjectFault("grown " + std::to_string(kPage.size() - 10));
  EXPECT_EQ(AskText(page_, Field::kTitle), "Five links");
  EXPECT_EQ(AskNumber(page_, Field::kLinks), 0);
  // Larger than the sniff: the bytes up to that size, here up to the first two links.
  InjectFault("grown " + std::to_string(kPage.size() - 140));
  EXPECT_EQ(AskNumber(page_, Field::kLinks), 2);
  EXPECT_EQ(AskNumber(page_, Field::kWebLinks), 1);
}

}  // namespace
}  // namespace pagefields::testing
