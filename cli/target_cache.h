#pragma once

#include <mutex>
#include <string>
#include <unordered_map>

namespace pagefields::cli {

// Remembers, for one run, which link targets exist, so that the navigation links every page
// of a site repeats cost one file-system query each instead of one per page. Pages do not
// change while they are read, and neither, for the run, do the files they link to. Safe to
// share between workers.
class TargetCache {
 public:
  // FileExistsNotDir(path), asked of the file system at most once per path.
  bool ExistsNotDir(const std::string& path);

 private:
  std::mutex lock_;
  std::unordered_map<std::string, bool> known_;
};

}  // namespace pagefields::cli
