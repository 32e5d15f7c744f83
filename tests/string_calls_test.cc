// CopyToBuffer against the Windows string calls it replaces: measure with lstrlenA, copy
// whole with lstrcpyA when the buffer holds it, else lstrcpynA and a NUL at MaxLen - 1.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "plugin/copy_to_buffer.h"

namespace pagefields {
namespace {

void CopyWithStringCalls(char* destination, const char* source, int max_len) {
  if (max_len > ::lstrlenA(source)) {
    ::lstrcpyA(destination, source);
  } else {
    ::lstrcpynA(destination, source, max_len);
    destination[max_len - 1] = '\0';
  }
}

TEST(CopyToBuffer, GivesTheResultsOfTheWindowsStringCalls) {
  const char* sources[] = {"", "T", "Title", "Length(Description)", "\xAB\x96\xBB\xFF", "ab\0cd"};
  for (const char* source : sources) {
    const int length = static_cast<int>(std::strlen(source));
    for (int max_len = 1; max_len <= length + 2; ++max_len) {
      char ours[32];
      char theirs[32];
      std::memset(ours, '#', sizeof ours);
      std::memset(theirs, '#', sizeof theirs);
      CopyToBuffer(ours, source, max_len);
      CopyWithStringCalls(theirs, source, max_len);
      EXPECT_EQ(std::string(ours, sizeof ours), std::string(theirs, sizeof theirs))
          << "'" << source << "' into " << max_len << " bytes";
    }
  }
}

}  // namespace
}  // namespace pagefields
