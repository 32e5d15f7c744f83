// The field enumeration and the detect string, asked through the loaded library.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "tests/loaded_plugin.h"

namespace pagefields::testing {
namespace {

TEST(LoadedLibrary, ExportsAllFourFunctions) {
  EXPECT_EQ(LoadedPlugin().error(), "");
}

#if defined(_WIN32) && defined(__i386__)
// A 32-bit host calls the exports as __stdcall: the called function removes its arguments
// from the stack. Pushes the two arguments of ContentGetDetectString by hand and measures
// the stack pointer after the call, whatever convention the header declares.
TEST(LoadedLibrary, ExportsRemoveTheirOwnArgumentsFromTheStack) {
  ASSERT_NE(LoadedPlugin().get_detect_string, nullptr);
  void* function = reinterpret_cast<void*>(LoadedPlugin().get_detect_string);
  char buffer[4] = {'#', '#', '#', '#'};
  char* argument = buffer;
  std::uintptr_t before = 0;
  std::uintptr_t after = 0;
  asm volatile(
      "movl %%esp, %[before]\n\t"
      "pushl $4\n\t"
      "pushl %%ecx\n\t"
      "call *%%eax\n\t"
      "movl %%esp, %[after]\n\t"
      "movl %[before], %%esp\n\t"
      : [before] "=&r"(before), [after] "=&r"(after), "+a"(function), "+c"(argument)
      :
      : "edx", "memory", "cc");
  EXPECT_EQ(before - after, 0u) << "the caller would have to pop the arguments: not __stdcall";
  EXPECT_EQ(std::string(buffer, 4), "####");
}
#endif

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
