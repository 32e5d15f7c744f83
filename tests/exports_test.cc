// The field enumeration and the detect string, asked through the loaded library.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/loaded_plugin.h"

namespace pagefields::testing {
namespace {

TEST(LoadedLibrary, ExportsAllFourFunctions) {
  EXPECT_EQ(LoadedPlugin().error(), "");
}

TEST(ContentGetSupportedField, EnumeratesEighteenNamedFields) {
  const std::pair<const char*, int> expected[] = {
      {"Title", 8},
      {"Length(Title)", 1},
      {"Count(Title)", 1},
      {"Description", 8},
      {"Length(Description)", 1},
      {"Count(Description)", 1},
      {"Keywords", 8},
      {"Length(Keywords)", 1},
      {"Count(Keywords)", 1},
      {"H1", 8},
      {"H2", 8},
      {"Count(A)", 1},
      {"Count(A_http)", 1},
      {"Count(A_mail)", 1},
      {"Count(A_int)", 1},
      {"Brocken_A", 8},
      {"TextSize", 1},
      {"Noindex", 8},
  };
  ASSERT_NE(LoadedPlugin().get_supported_field, nullptr);
  for (int index = 0; index < 18; ++index) {
    char name[64];
    char units[64];
    std::memset(units, '#', sizeof units);
    EXPECT_EQ(LoadedPlugin().get_supported_field(index, name, units, sizeof name),
              expected[index].second);
    EXPECT_STREQ(name, expected[index].first);
    EXPECT_EQ(units[0], '\0') << "units of field " << index;
    EXPECT_EQ(units[1], '#') << "units of field " << index;
  }
}

TEST(ContentGetSupportedField, IndexOutsideTableEndsListAndWritesNothing) {
  ASSERT_NE(LoadedPlugin().get_supported_field, nullptr);
  for (const int index : {-1, 18, 1000}) {
    char name[8] = "#######";
    char units[8] = "#######";
    EXPECT_EQ(LoadedPlugin().get_supported_field(index, name, units, sizeof name), 0);
    EXPECT_STREQ(name, "#######");
    EXPECT_STREQ(units, "#######");
  }
}

TEST(ContentGetSupportedField, MaxLenCutsTheName) {
  ASSERT_NE(LoadedPlugin().get_supported_field, nullptr);
  struct Case {
    int index;
    int max_len;
    const char* expected;
  };
  const Case cases[] = {{1, 5, "Leng"}, {0, 5, "Titl"}, {0, 6, "Title"}, {15, 1, ""}};
  for (const auto& c : cases) {
    char name[32];
    char units[32];
    std::memset(name, '#', sizeof name);
    EXPECT_EQ(LoadedPlugin().get_supported_field(c.index, name, units, c.max_len),
              c.index == 0 || c.index == 15 ? 8 : 1);
    EXPECT_STREQ(name, c.expected);
    EXPECT_EQ(name[std::strlen(c.expected) + 1], '#');
  }
}

TEST(ContentGetDetectString, LeavesTheBufferAsItWas) {
  ASSERT_NE(LoadedPlugin().get_detect_string, nullptr);
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  LoadedPlugin().get_detect_string(buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));
}

}  // namespace
}  // namespace pagefields::testing
