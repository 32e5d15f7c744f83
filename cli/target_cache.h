#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "cli/flat_string_map.h"
#include "cli/folder_walk.h"

namespace pagefields::cli {

// Remembers, for one run, which link targets exist, so that the links many pages share cost
// one file-system query each instead of one per page. Targets are known by the folder they
// resolve to and their name, so "a/../b/x.html" and "c/../b/x.html" are asked about once.
// A folder that many targets are asked of is listed once, and the listing answers for its
// files and folders; names it does not show, links and entries of unknown type are still
// asked of the file system. Pages and the files they link to do not change while the run
// reads them. One worker uses one cache; caches are not shared between threads.
class TargetCache {
 public:
  // `known`, when given, holds listings already read (by the folder walk) and must outlive
  // the cache; several caches may share it.
  explicit TargetCache(const FolderListings* known = nullptr);
  ~TargetCache();
  TargetCache(TargetCache&&) noexcept;
  TargetCache& operator=(TargetCache&&) noexcept;

  // Tells that the next paths come from a page in `folder` and most start with it, so that
  // their folders are found among the few that this page's neighbours link to.
  void StartPage(std::string_view folder);

  // FileExistsNotDir(path), with the file system asked at most once per target.
  bool ExistsNotDir(const std::string& path);

 private:
  struct Folder;

  // The folder that `spelling` (a path ending in '/') names, or null when it names no folder
  // that can be searched.
  Folder* FolderOf(std::string_view spelling);
  // `spelling` with each "X/../" dropped where X is a folder of its own (no link), which
  // names the same folder; the rest is kept as it is.
  std::string WithoutClimbs(std::string_view spelling);
  // True when `path` is a folder, not a link to one, and may be searched.
  bool IsPlainFolder(const std::string& path);
  // Adds what a listing of `folder` tells to its answers: the known one, or one read now.
  void List(Folder& folder);

  enum class Answer : unsigned char { kExists, kMissing, kAsk };  // what is known of a name

  const FolderListings* known_;
  FlatStringMap<Folder*> spellings_;  // every folder spelling met, and what it names
  std::map<std::pair<dev_t, ino_t>, std::unique_ptr<Folder>> folders_;
  FlatStringMap<Answer> names_;  // the names asked or listed, grouped by their folder's number
  FlatStringMap<bool> plain_folders_;
  FlatStringMap<bool> bare_names_;  // paths with no folder part
  // The folder of the current page, and the folders its pages link to by the rest of their
  // spelling: a small table that stays in the processor's caches.
  std::string page_folder_;
  FlatStringMap<Folder*> from_page_folder_;
};

}  // namespace pagefields::cli
