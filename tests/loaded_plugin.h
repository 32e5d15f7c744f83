#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/plugin_library.h"
#include "plugin/field_table.h"
#include "text/utf8.h"

namespace pagefields::testing {

// The library under test: the one PAGEFIELDS_PLUGIN names, else the build's own.
inline std::string PluginPath() {
  const char* chosen = std::getenv("PAGEFIELDS_PLUGIN");
  return chosen != nullptr ? chosen : PAGEFIELDS_PLUGIN_PATH;
}

// The plugin under test, loaded once by path as a host loads it.
inline const PluginLibrary& LoadedPlugin() {
  static const PluginLibrary plugin(PluginPath());
  return plugin;
}

// One ContentGetValue call into a buffer framed by guard bytes.
struct Answer {
  int result = 0;
  std::vector<char> buffer;  // the FieldValue bytes, kGuard bytes of frame on each side

  static constexpr int kGuard = 8;
  static constexpr char kGuardByte = '\x5A';

  const char* value() const { return buffer.data() + kGuard; }
  std::string text() const { return std::string(value()); }
  std::int32_t number() const {
    std::int32_t n = 0;
    std::memcpy(&n, value(), sizeof n);
    return n;
  }
  // Number of FieldValue bytes that differ from the untouched fill.
  int bytes_written(int max_len) const {
    int written = 0;
    for (int i = 0; i < max_len; ++i) written += value()[i] != kGuardByte ? 1 : 0;
    return written;
  }
  bool guards_intact(int max_len) const {
    for (int i = 0; i < kGuard; ++i) {
      if (buffer[i] != kGuardByte || buffer[kGuard + max_len + i] != kGuardByte) return false;
    }
    return true;
  }
};

inline Answer Ask(const std::string& path, int field, int max_len = 1024, int flags = 0,
                  int unit = 0) {
  Answer answer;
  answer.buffer.assign(static_cast<std::size_t>(max_len + 2 * Answer::kGuard), Answer::kGuardByte);
  if (LoadedPlugin().get_value == nullptr) {
    ADD_FAILURE() << "plugin not loaded: " << LoadedPlugin().error();
    return answer;
  }
  answer.result = LoadedPlugin().get_value(path.c_str(), field, unit,
                                           answer.buffer.data() + Answer::kGuard, max_len, flags);
  return answer;
}

// The same for a field: a host names it by its index.
inline Answer Ask(const std::string& path, Field field, int max_len = 1024, int flags = 0,
                  int unit = 0) {
  return Ask(path, static_cast<int>(RowIndex(field)), max_len, flags, unit);
}

// A value given as the bytes a Windows host receives (Windows-1251 text, entities decoded
// to single bytes) as the library delivers it here: unchanged on Windows; on Linux, where
// hosts read UTF-8, decoded from Windows-1251. For values whose raw bytes are not UTF-8, and
// for ASCII ones, that is the delivered text.
inline std::string AsDelivered(const std::string& single_byte) {
#if defined(_WIN32)
  return single_byte;
#else
  std::string utf8;
  for (const char byte : single_byte) {
    const auto& [bytes, size] = kWindows1251.characters[static_cast<unsigned char>(byte)];
    utf8.append(bytes.data(), size);
  }
  return utf8;
#endif
}

inline std::string AskText(const std::string& path, Field field, int max_len = 1024) {
  const Answer answer = Ask(path, field, max_len);
  EXPECT_EQ(answer.result, PAGEFIELDS_FIELD_TYPE_STRING) << RowOf(field).name;
  return answer.text();
}

inline std::int32_t AskNumber(const std::string& path, Field field) {
  const Answer answer = Ask(path, field);
  EXPECT_EQ(answer.result, PAGEFIELDS_FIELD_TYPE_NUMERIC32) << RowOf(field).name;
  return answer.number();
}

}  // namespace pagefields::testing
