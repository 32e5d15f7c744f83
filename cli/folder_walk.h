#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pagefields::cli {

// A path the walk could not use, with the reason to report.
struct WalkProblem {
  std::string path;
  std::string reason;
};

// A file to consider, and whether the walk saw a regular file there (not a link to one).
struct WalkedFile {
  std::string path;
  bool regular = false;

  friend bool operator<(const WalkedFile& a, const WalkedFile& b) { return a.path < b.path; }
  friend bool operator==(const WalkedFile& a, const WalkedFile& b) { return a.path == b.path; }
};

// An entry of a folder as its listing gives it; the type is a DT_ value (DT_UNKNOWN where the
// file system does not tell).
struct FolderEntry {
  std::string name;
  unsigned char type;
};

// The entries of every folder the walk listed, by the folder's device and inode.
using FolderListings = std::map<std::pair<dev_t, ino_t>, std::vector<FolderEntry>>;

struct WalkResult {
  std::vector<WalkedFile> files;          // the files to consider, sorted bytewise, each once
  std::vector<std::string> missing;       // named paths that do not exist
  std::vector<WalkProblem> dangling;      // named symbolic links that lead to nothing
  std::vector<WalkProblem> unlisted;      // folders whose entries could not be read
  std::vector<WalkProblem> not_followed;  // symbolic links that lead out of their tree or loop
  FolderListings listings;                // what the walked folders hold, "." and ".." left out
};

// True for the names a folder walk considers: ending in .htm, .html, .shtml or .xhtml in any
// letter case.
bool HasPageExtension(const std::string& name);

// The files that `paths` name. A named file is always considered, a named folder is walked
// recursively: its files with a page extension (every file with `all_files`) are considered.
// The walk never descends through a symbolic link, and considers a linked file only when
// the link stays inside the named folder. Paths keep the spelling they were given, with the
// walked names appended after a '/'. A file reached by several spellings of its path
// ("a/p.html", "./a/p.html", through a linked folder) is kept once, by the spelling that
// sorts first; links to it are entries of their own. When `stopped` answers true, the walk
// lists no further folder: the run is ending and wants no more files.
WalkResult CollectFiles(const std::vector<std::string>& paths, bool all_files,
                        const std::function<bool()>& stopped = {});

}  // namespace pagefields::cli
