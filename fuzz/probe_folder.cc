#include "fuzz/probe_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace pagefields::fuzzing {
namespace {

// The folder lives as long as the process and is removed at exit.
class OwnedFolder {
 public:
  OwnedFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pagefields-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    for (const char* name : {"a.htm", "b", "c d.htm", "d/e.htm"}) {
      std::filesystem::create_directories((root_ / name).parent_path());
      std::ofstream(root_ / name) << "<html>";
    }
    path_ = pattern + "/";
  }
  ~OwnedFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  OwnedFolder(const OwnedFolder&) = delete;
  OwnedFolder& operator=(const OwnedFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::filesystem::path root_;
  std::string path_;
};

}  // namespace

const std::string& ProbeFolder() {
  static const OwnedFolder folder;
  return folder.path();
}

}  // namespace pagefields::fuzzing
