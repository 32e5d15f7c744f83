// Replays fuzz inputs without libFuzzer: every file named on the command line, and every
// file inside a named folder, is fed once to LLVMFuzzerTestOneInput. A difference aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "simd/isa.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
    } else {
      files.push_back(path);
    }
    for (const auto& file : files) {
      Replay(file);
      ++replayed;
    }
  }
  // The corpus is replayed once per kernel (PAGEFIELDS_SIMD); a run that silently used
  // another kernel would prove nothing about the one it names.
  const std::string_view kernel = pagefields::simd::IsaName(pagefields::simd::ActiveIsa());
  const char* named = std::getenv("PAGEFIELDS_SIMD");
  if (named != nullptr && kernel != named) {
    std::printf("PAGEFIELDS_SIMD=%s, but the scans ran on %s\n", named,
                std::string(kernel).c_str());
    return 1;
  }
  std::printf("replayed %d inputs on the %s kernel, no difference\n", replayed,
              std::string(kernel).c_str());
  return replayed > 0 ? 0 : 1;
}
