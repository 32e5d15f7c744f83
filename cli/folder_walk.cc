#include "cli/folder_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string_view>
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

// The DT_ type of the entry `path` names itself (a link is not followed); DT_UNKNOWN when it
// cannot be told.
unsigned char TypeOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return DT_UNKNOWN;
  if (S_ISLNK(info.st_mode)) return DT_LNK;
  if (S_ISDIR(info.st_mode)) return DT_DIR;
  return S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
}

std::string Joined(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

class Walk {
 public:
  Walk(bool all_files, const std::function<bool()>& stopped, WalkResult& result)
      : all_files_(all_files), stopped_(stopped), result_(result) {}

  void Folder(const std::string& folder) {
    std::error_code error;
    root_ = fs::weakly_canonical(folder, error);
    if (error) root_ = fs::absolute(folder, error);
    Descend(folder);
  }

 private:
  void Descend(const std::string& folder) {
    if (stopped_ && stopped_()) return;
    // The entries are gathered first so that a folder which fails half-way is reported
    // and adds nothing; the order comes from the final sort.
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
      result_.unlisted.push_back({folder, std::generic_category().message(errno)});
      return;
    }
    struct stat identity {};
    const bool known = ::fstat(::dirfd(listing), &identity) == 0;
    std::vector<FolderEntry> entries;
    errno = 0;
    for (const dirent* entry; (entry = ::readdir(listing)) != nullptr; errno = 0) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") entries.push_back({std::string(name), entry->d_type});
    }
    const int failure = errno;
    ::closedir(listing);
    if (failure != 0) {
      result_.unlisted.push_back({folder, std::generic_category().message(failure)});
      return;
    }
    for (const FolderEntry& entry : entries) Visit(folder, entry);
    if (known) result_.listings.try_emplace({identity.st_dev, identity.st_ino}, std::move(entries));
  }

  void Visit(const std::string& folder, const FolderEntry& entry) {
    const std::string path = Joined(folder, entry.name);
    const unsigned char type = entry.type == DT_UNKNOWN ? TypeOf(path) : entry.type;
    if (type == DT_LNK) {
      // A link is never descended; a linked file counts only while the link stays inside.
      if (!all_files_ && !HasPageExtension(entry.name)) return;
      std::error_code error;
      if (fs::is_directory(path, error)) return;
      if (error.value() == ELOOP) {
        result_.not_followed.push_back({path, "symbolic link loop"});
        return;
      }
      if (!StaysInside(path, root_)) {
        result_.not_followed.push_back({path, "symbolic link leads out of the folder"});
        return;
      }
      result_.files.push_back({path, false});
      return;
    }
    if (type == DT_DIR) {
      Descend(path);
      return;
    }
    if (all_files_ || HasPageExtension(entry.name)) result_.files.push_back({path, type == DT_REG});
  }

  bool all_files_;
  const std::function<bool()>& stopped_;
  WalkResult& result_;
  fs::path root_;
};

// A named symbolic link whose target cannot be reached, with the reason; empty otherwise.
std::string DanglingReason(const std::string& path) {
  std::error_code error;
  static_cast<void>(fs::status(path, error));
  if (!error) return {};
  if (error.value() == ELOOP) return "symbolic link loop";
  return "symbolic link to a missing file";
}

// The same for every spelling of a file's path: its folder resolved, and its own name. The
// name itself is not resolved, so a link stays an entry of its own.
class SpellingKeys {
 public:
  std::string Of(const std::string& path) {
    const fs::path spelled(path);
    const std::string folder = spelled.parent_path().string();
    auto known = folders_.find(folder);
    if (known == folders_.end()) {
      std::error_code error;
      fs::path resolved = fs::weakly_canonical(folder.empty() ? "." : folder, error);
      if (error) resolved = fs::absolute(folder, error).lexically_normal();
      known = folders_.emplace(folder, resolved.string()).first;
    }
    return known->second + "/" + spelled.filename().string();
  }

 private:
  std::map<std::string, std::string> folders_;
};

}  // namespace

bool HasPageExtension(const std::string& name) {
  return EndsWithNoCase(name, ".htm") || EndsWithNoCase(name, ".html") ||
         EndsWithNoCase(name, ".shtml") || EndsWithNoCase(name, ".xhtml");
}

WalkResult CollectFiles(const std::vector<std::string>& paths, bool all_files,
                        const std::function<bool()>& stopped) {
  WalkResult result;
  Walk walk(all_files, stopped, result);
  for (const std::string& path : paths) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!fs::exists(status)) {
      result.missing.push_back(path);
    } else if (std::string dangling = fs::is_symlink(status) ? DanglingReason(path) : "";
               !dangling.empty()) {
      result.dangling.push_back({path, std::move(dangling)});
    } else if (fs::is_directory(fs::status(path, error))) {
      walk.Folder(path);
    } else {
      result.files.push_back({path, fs::is_regular_file(status)});
    }
  }
  std::sort(result.files.begin(), result.files.end());
  SpellingKeys keys;
  std::set<std::string> seen;
  std::erase_if(result.files,
                [&](const WalkedFile& file) { return !seen.insert(keys.Of(file.path)).second; });
  return result;
}

}  // namespace pagefields::cli
