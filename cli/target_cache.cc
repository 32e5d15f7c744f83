#include "cli/target_cache.h"

#include <sys/stat.h>

#include "extract/file_probe.h"

namespace pagefields::cli {

template <typename Ask>
bool TargetCache::Remembered(std::unordered_map<std::string, bool>& known, const std::string& key,
                             Ask ask) {
  {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto found = known.find(key);
    if (found != known.end()) return found->second;
  }
  // Asked outside the lock; two workers asking at once get the same answer.
  const bool answer = ask();
  const std::lock_guard<std::mutex> guard(lock_);
  known.emplace(key, answer);
  return answer;
}

std::optional<std::string> TargetCache::FolderIdentity(const std::string& folder) {
  {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto found = folders_.find(folder);
    if (found != folders_.end()) return found->second;
  }
  std::optional<std::string> identity;
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    identity = std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino);
  }
  const std::lock_guard<std::mutex> guard(lock_);
  folders_.emplace(folder, identity);
  return identity;
}

bool TargetCache::ExistsNotDir(const std::string& path) {
  // The query sees the path up to its first NUL.
  const std::string queried = path.substr(0, path.find('\0'));
  const std::size_t slash = queried.rfind('/');
  if (slash == std::string::npos || slash + 1 == queried.size()) {
    return Remembered(targets_, "/" + queried, [&] { return FileExistsNotDir(queried); });
  }
  // A name in a folder that cannot be searched cannot be found either.
  const std::optional<std::string> folder = FolderIdentity(queried.substr(0, slash + 1));
  if (!folder) return false;
  return Remembered(targets_, *folder + queried.substr(slash),
                    [&] { return FileExistsNotDir(queried); });
}

}  // namespace pagefields::cli
