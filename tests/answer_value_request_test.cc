#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plugin/delivery.h"
#include "plugin/field_table.h"
#include "plugin/value_request.h"

namespace pagefields {
namespace {

constexpr char kFill = '\x5A';

// A value request for `field_index` of a page held in memory, with what the loader was asked.
struct MemoryRequest {
  explicit MemoryRequest(std::string text) : page(std::move(text)) {}

  std::string page;
  std::vector<std::string> loaded;  // the paths the loader was asked for
  std::string buffer = std::string(32, kFill);

  int Ask(int field_index, int max_len, int flags = 0, const char* path = "/site/docs/p.html",
          bool with_buffer = true) {
    const PageLoader load = [this](const char* asked) -> std::optional<DocumentText> {
      loaded.emplace_back(asked);
      if (!IsPageText(page)) return std::nullopt;
      return DocumentText(page);
    };
    return AnswerValueRequest({.path = path,
                               .field_index = field_index,
                               .destination = with_buffer ? buffer.data() : nullptr,
                               .max_len = max_len,
                               .flags = flags},
                              kRawBytes, load);
  }
  static bool IsPageText(const std::string& text) { return text.rfind("<html>", 0) == 0; }
  bool untouched() const { return buffer == std::string(32, kFill); }
};

int Index(Field field) {
  return static_cast<int>(RowIndex(field));
}

TEST(AnswerValueRequest, DeliversNumbersAsFourBytesAndStringsCut) {
  MemoryRequest request{"<html><title>Fast &laquo;cars&raquo;</title>"};
  EXPECT_EQ(request.Ask(Index(Field::kTitleLength), 32), FieldTypeNumeric32);
  std::int32_t length = 0;
  std::memcpy(&length, request.buffer.data(), sizeof length);
  EXPECT_EQ(length, 23);                // entities count as written
  EXPECT_EQ(request.buffer[4], kFill);  // exactly four bytes

  EXPECT_EQ(request.Ask(Index(Field::kTitle), 8), FieldTypeString);
  EXPECT_EQ(std::string(request.buffer.c_str()),
            "Fast \xAB"
            "c");
  EXPECT_EQ(request.buffer[8], kFill);
}

// Each refusal leaves the buffer as it was; a delayed answer does not even load the page.
TEST(AnswerValueRequest, RefusesWithoutTouchingTheBuffer) {
  MemoryRequest request{"<html><title>T</title>"};
  EXPECT_EQ(request.Ask(Index(Field::kTitle), 16, /*flags=*/1), ValueDelayed);
  EXPECT_TRUE(request.loaded.empty());
  EXPECT_EQ(request.Ask(Index(Field::kTitle), 16, 0, nullptr), ValueNotSupported);
  EXPECT_TRUE(request.loaded.empty());
  for (const int index : {-1, kFieldCount, 1000}) {
    EXPECT_EQ(request.Ask(index, 16), ValueNotSupported) << index;
  }
  EXPECT_EQ(request.Ask(Index(Field::kTitle), 16, 0, "/p.html", /*with_buffer=*/false),
            ValueNotSupported);
  EXPECT_TRUE(request.untouched());

  MemoryRequest not_a_page{"<body><title>T</title>"};
  EXPECT_EQ(not_a_page.Ask(Index(Field::kTitle), 16), ValueNotSupported);
  EXPECT_EQ(not_a_page.loaded, std::vector<std::string>{"/site/docs/p.html"});
  EXPECT_TRUE(not_a_page.untouched());
}

TEST(AnswerValueRequest, FailureWhileLoadingIsNotSupported) {
  std::string buffer(16, kFill);
  const PageLoader out_of_memory = [](const char*) -> std::optional<DocumentText> {
    throw std::bad_alloc();
  };
  EXPECT_EQ(AnswerValueRequest({.path = "p.html",
                                .field_index = Index(Field::kTitle),
                                .destination = buffer.data(),
                                .max_len = 16},
                               kRawBytes, out_of_memory),
            ValueNotSupported);
  EXPECT_EQ(buffer, std::string(16, kFill));
}

TEST(FieldAt, NamesEveryIndexOfTheTableAndNothingElse) {
  for (int index = -2; index < kFieldCount + 2; ++index) {
    const std::optional<Field> field = FieldAt(index);
    ASSERT_EQ(field.has_value(), index >= 0 && index < kFieldCount) << index;
    if (field) {
      EXPECT_EQ(RowIndex(*field), static_cast<std::size_t>(index));
    }
  }
  EXPECT_EQ(RowOf(Field::kBrokenLink).name, "Brocken_A");
  EXPECT_EQ(RowOf(Field::kNoindex).name, "Noindex");
  EXPECT_EQ(kAllFields.back(), Field::kNoindex);
}

}  // namespace
}  // namespace pagefields
