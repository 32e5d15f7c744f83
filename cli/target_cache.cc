#include "cli/target_cache.h"

#include "extract/file_probe.h"

namespace pagefields::cli {

bool TargetCache::ExistsNotDir(const std::string& path) {
  {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto known = known_.find(path);
    if (known != known_.end()) return known->second;
  }
  // Asked outside the lock; two workers asking at once get the same answer.
  const bool exists = FileExistsNotDir(path);
  const std::lock_guard<std::mutex> guard(lock_);
  known_.emplace(path, exists);
  return exists;
}

}  // namespace pagefields::cli
