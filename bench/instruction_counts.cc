// One ContentGetValue request per field on every hostile input of 1 and 8 MiB (and the
// realistic pages), each between callgrind's collection toggles and followed by a dump named
// after it, so that one run under callgrind gives the instructions of every request:
//
//   bench/instruction_growth.sh build
//
// Outside valgrind the client requests do nothing and the program only makes the requests.
#include <valgrind/callgrind.h>

#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/inputs.h"
#include "host/plugin_library.h"
#include "plugin/field_table.h"

int main(int argc, char** argv) {
  using namespace pagefields;
  // The MaxLen of the hosts that call with the most.
  constexpr int kMaxLen = 4096;
  const PluginLibrary plugin(argc > 1 ? argv[1] : PAGEFIELDS_PLUGIN_PATH);
  if (!plugin.error().empty()) {
    std::fprintf(stderr, "%s\n", plugin.error().c_str());
    return 1;
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("pagefields-counts-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  int failures = 0;
  for (const bench::Input& input : bench::MakeInputs()) {
    if (input.size_label == "2M" || input.size_label == "4M") continue;
    const std::string path = (folder / (input.family + "-" + input.size_label + ".htm")).string();
    if (!(std::ofstream(path, std::ios::binary) << input.bytes)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    for (int field = 0; field < kFieldCount; ++field) {
      char buffer[kMaxLen];
      CALLGRIND_TOGGLE_COLLECT;
      const int result = plugin.get_value(path.c_str(), field, 0, buffer, kMaxLen, 0);
      CALLGRIND_TOGGLE_COLLECT;
      const std::string label =
          input.family + "|" + input.size_label + "|" + std::string(FieldTable[field].name);
      CALLGRIND_DUMP_STATS_AT(label.c_str());
      // Every field has a value on these pages; an error would count the wrong work.
      if (result < 0) {
        std::fprintf(stderr, "%s: result %d\n", label.c_str(), result);
        ++failures;
      }
    }
  }
  std::filesystem::remove_all(folder);
  return failures == 0 ? 0 : 1;
}
