#include "cli/target_cache.h"

#include <sys/stat.h>

#include "extract/file_probe.h"

namespace pagefields::cli {

std::optional<std::string> TargetCache::FolderIdentity(const std::string& folder) {
  const auto found = folders_.find(folder);
  if (found != folders_.end()) return found->second;
  std::optional<std::string> identity;
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    identity = std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino);
  }
  folders_.emplace(folder, identity);
  return identity;
}

bool TargetCache::ExistsNotDir(const std::string& path) {
  // The query sees the path up to its first NUL.
  const std::string queried = path.substr(0, path.find('\0'));
  const std::size_t slash = queried.rfind('/');
  std::string key;
  if (slash == std::string::npos || slash + 1 == queried.size()) {
    key = "/" + queried;  // no folder identity can start so
  } else {
    // A name in a folder that cannot be searched cannot be found either.
    const std::optional<std::string> folder = FolderIdentity(queried.substr(0, slash + 1));
    if (!folder) return false;
    key = *folder + queried.substr(slash);
  }
  const auto [target, added] = targets_.try_emplace(std::move(key), false);
  if (added) target->second = FileExistsNotDir(queried);
  return target->second;
}

}  // namespace pagefields::cli
