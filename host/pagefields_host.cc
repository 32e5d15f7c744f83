// pagefields-host: loads the plugin like a file manager would and shows every field it
// offers for each file named on the command line.
//
//   pagefields-host [--max-len N] PLUGIN FILE...

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/plugin_library.h"
#include "text/utf8.h"

namespace {

constexpr int kDefaultMaxLen = 2048;  // a typical host column buffer

struct Field {
  int index;
  std::string name;
  int type;
};

std::vector<Field> EnumerateFields(const pagefields::PluginLibrary& plugin) {
  std::vector<Field> fields;
  for (int index = 0;; ++index) {
    char name[256] = {};
    char units[256] = {};
    const int type = plugin.get_supported_field(index, name, units, sizeof name);
    if (type == PAGEFIELDS_NO_MORE_FIELDS) break;
    fields.push_back({index, name, type});
  }
  return fields;
}

// Printable ASCII stays; so do the bytes from 0x80 up of a text that is UTF-8, as the
// library delivers on Linux. Every other byte, and the quote and backslash, are escaped.
std::string Escaped(const char* text) {
#if defined(_WIN32)
  const bool utf8 = false;
#else
  const bool utf8 = pagefields::IsUtf8(text);
#endif
  std::string shown;
  for (const char* at = text; *at != '\0'; ++at) {
    const auto byte = static_cast<unsigned char>(*at);
    if (byte == '"' || byte == '\\') {
      shown += '\\';
      shown += static_cast<char>(byte);
    } else if ((byte >= 0x20 && byte < 0x7F) || (utf8 && byte >= 0x80)) {
      shown += static_cast<char>(byte);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      shown += hex;
    }
  }
  return shown;
}

std::string ShowValue(const pagefields::PluginLibrary& plugin, const char* path, int index,
                      int max_len) {
  std::vector<char> buffer(static_cast<std::size_t>(max_len) + 4, '\0');
  const int result = plugin.get_value(path, index, 0, buffer.data(), max_len, 0);
  switch (result) {
    case PAGEFIELDS_FIELD_TYPE_NUMERIC32: {
      std::int32_t number = 0;
      std::memcpy(&number, buffer.data(), sizeof number);
      return std::to_string(number);
    }
    case PAGEFIELDS_FIELD_TYPE_STRING:
      return "\"" + Escaped(buffer.data()) + "\"";
    case PAGEFIELDS_VALUE_NOT_SUPPORTED:
      return "(not supported)";
    default:
      return "(result " + std::to_string(result) + ")";
  }
}

int Usage() {
  std::fprintf(stderr, "usage: pagefields-host [--max-len N] PLUGIN FILE...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int max_len = kDefaultMaxLen;
  int next = 1;
  if (next < argc && std::strcmp(argv[next], "--max-len") == 0) {
    if (next + 1 >= argc) return Usage();
    max_len = std::atoi(argv[next + 1]);
    if (max_len < 1) return Usage();
    next += 2;
  }
  if (argc - next < 2) return Usage();

  const pagefields::PluginLibrary plugin(argv[next]);
  if (!plugin.error().empty()) {
    std::fprintf(stderr, "pagefields-host: %s\n", plugin.error().c_str());
    return 1;
  }
  const std::vector<Field> fields = EnumerateFields(plugin);
  for (int file = next + 1; file < argc; ++file) {
    std::printf("%s\n", argv[file]);
    for (const Field& field : fields) {
      const char* type = field.type == PAGEFIELDS_FIELD_TYPE_STRING ? "string" : "numeric";
      std::printf("  %2d  %-20s %-8s %s\n", field.index, field.name.c_str(), type,
                  ShowValue(plugin, argv[file], field.index, max_len).c_str());
    }
  }
  return 0;
}
