#include "cli/folder_walk.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace pagefields::cli {
namespace fs = std::filesystem;
namespace {

bool EndsWithNoCase(const std::string& name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<long>(suffix.size()),
                    [](char want, char have) {
                      return want == (have >= 'A' && have <= 'Z' ? have - 'A' + 'a' : have);
                    });
}

// True when `path`, with its links resolved, lies inside the folder `root` (resolved).
bool StaysInside(const fs::path& path, const fs::path& root) {
  std::error_code error;
  const fs::path target = fs::weakly_canonical(path, error);
  if (error) return false;
  const auto [root_end, unused] =
      std::mismatch(root.begin(), root.end(), target.begin(), target.end());
  return root_end == root.end();
}

std::string Joined(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

class Walk {
 public:
  Walk(bool all_files, WalkResult& result) : all_files_(all_files), result_(result) {}

  void Folder(const std::string& folder) {
    std::error_code error;
    root_ = fs::weakly_canonical(folder, error);
    if (error) root_ = fs::absolute(folder, error);
    Descend(folder);
  }

 private:
  void Descend(const std::string& folder) {
    std::error_code error;
    // The entries are gathered first so that a folder which fails half-way is reported
    // and adds nothing; the order comes from the final sort.
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      entries.push_back(*it);
    }
    if (error) {
      result_.unlisted.push_back({folder, error.message()});
      return;
    }
    for (const fs::directory_entry& entry : entries) Visit(folder, entry);
  }

  void Visit(const std::string& folder, const fs::directory_entry& entry) {
    const std::string name = entry.path().filename().native();
    const std::string path = Joined(folder, name);
    std::error_code error;
    if (entry.is_symlink(error)) {
      // A link is never descended; a linked file counts only while the link stays inside.
      if (!all_files_ && !HasPageExtension(name)) return;
      if (fs::is_directory(entry.path(), error)) return;
      if (!StaysInside(entry.path(), root_)) {
        result_.not_followed.push_back({path, "symbolic link leads out of the folder"});
        return;
      }
      result_.files.push_back({path, false});
      return;
    }
    if (entry.is_directory(error)) {
      Descend(path);
      return;
    }
    if (all_files_ || HasPageExtension(name)) {
      result_.files.push_back({path, entry.is_regular_file(error)});
    }
  }

  bool all_files_;
  WalkResult& result_;
  fs::path root_;
};

}  // namespace

bool HasPageExtension(const std::string& name) {
  return EndsWithNoCase(name, ".htm") || EndsWithNoCase(name, ".html") ||
         EndsWithNoCase(name, ".shtml") || EndsWithNoCase(name, ".xhtml");
}

WalkResult CollectFiles(const std::vector<std::string>& paths, bool all_files) {
  WalkResult result;
  Walk walk(all_files, result);
  for (const std::string& path : paths) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!fs::exists(status)) {
      result.missing.push_back(path);
    } else if (fs::is_directory(fs::status(path, error))) {
      walk.Folder(path);
    } else {
      result.files.push_back({path, fs::is_regular_file(status)});
    }
  }
  std::sort(result.files.begin(), result.files.end());
  result.files.erase(std::unique(result.files.begin(), result.files.end()), result.files.end());
  return result;
}

}  // namespace pagefields::cli
