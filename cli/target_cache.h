#pragma once

#include <optional>
#include <string>
#include <unordered_map>

namespace pagefields::cli {

// Remembers, for one run, which link targets exist, so that the links many pages share cost
// one file-system query each instead of one per page. Targets are known by the folder they
// resolve to and their name, so "a/../b/x.html" and "c/../b/x.html" are asked about once.
// Pages and the files they link to do not change while the run reads them. One worker uses
// one cache; caches are not shared between threads.
class TargetCache {
 public:
  // FileExistsNotDir(path), with the file system asked at most once per target.
  bool ExistsNotDir(const std::string& path);

 private:
  // The folder `folder` (a path ending in '/') resolves to, as "device:inode", or nullopt
  // when it is no folder that can be searched.
  std::optional<std::string> FolderIdentity(const std::string& folder);
  std::unordered_map<std::string, std::optional<std::string>> folders_;
  std::unordered_map<std::string, bool> targets_;
};

}  // namespace pagefields::cli
