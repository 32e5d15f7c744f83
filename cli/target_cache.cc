#include "cli/target_cache.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "extract/file_probe.h"

namespace pagefields::cli {
namespace {

// A folder is listed once this many of its names were asked of the file system. A listing
// stops after kEntriesPerQuery entries per name asked so far and is tried again after as
// many queries again, so a huge folder that few links lead into is never read whole.
constexpr std::size_t kQueriesBeforeListing = 4;
constexpr std::size_t kEntriesPerQuery = 64;
constexpr std::size_t kNeverAgain = std::numeric_limits<std::size_t>::max();

}  // namespace

struct TargetCache::Folder {
  Folder(std::uint32_t number, std::string path, const struct stat& info)
      : id(number), spelling(std::move(path)), identity(info.st_dev, info.st_ino) {}

  std::uint32_t id;      // its group in names_
  std::string spelling;  // a path, ending in '/', that names the folder
  std::pair<dev_t, ino_t> identity;
  std::size_t queried = 0;  // names asked of the file system
  std::size_t list_at = kQueriesBeforeListing;
  bool searchable = false;  // a query got past the folder's search permission
};

TargetCache::TargetCache(const FolderListings* known) : known_(known) {}
TargetCache::~TargetCache() = default;
TargetCache::TargetCache(TargetCache&&) noexcept = default;
TargetCache& TargetCache::operator=(TargetCache&&) noexcept = default;

bool TargetCache::IsPlainFolder(const std::string& path) {
  if (const bool* known = plain_folders_.Find(0, path)) return *known;
  // The program runs with its own rights, so access() asks what the lookup would meet.
  struct stat info {};
  const bool plain = ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
                     ::access(path.c_str(), X_OK) == 0;
  return plain_folders_.Insert(0, path, plain);
}

std::string TargetCache::WithoutClimbs(std::string_view spelling) {
  std::string path(spelling);
  for (std::size_t climb; (climb = path.find("/../")) != std::string::npos && climb > 0;) {
    const std::size_t slash = path.rfind('/', climb - 1);
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string_view name = std::string_view(path).substr(start, climb - start);
    if (name.empty() || name == "." || name == "..") break;
    if (!IsPlainFolder(path.substr(0, climb))) break;
    path.erase(start, climb + 4 - start);
  }
  return path.empty() ? "./" : path;
}

TargetCache::Folder* TargetCache::FolderOf(std::string_view spelling) {
  if (Folder** known = spellings_.Find(0, spelling)) return *known;
  const std::string resolved = WithoutClimbs(spelling);
  Folder* folder = nullptr;
  if (Folder** known = spellings_.Find(0, resolved)) {
    folder = *known;
  } else {
    struct stat info {};
    if (::stat(resolved.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      std::unique_ptr<Folder>& identity = folders_[{info.st_dev, info.st_ino}];
      if (!identity) {
        identity =
            std::make_unique<Folder>(static_cast<std::uint32_t>(folders_.size()), resolved, info);
      }
      folder = identity.get();
    }
    spellings_.Insert(0, resolved, folder);
  }
  return spellings_.Insert(0, spelling, folder);
}

void TargetCache::List(Folder& folder) {
  const std::size_t most = kEntriesPerQuery * folder.queried;
  folder.list_at = kNeverAgain;
  std::size_t entries = 0;
  // Adds one entry; false once the listing has given more than `most`. A folder is no file;
  // links are resolved and unknown types told only by asking. What was asked of the file
  // system stays: a listing only adds.
  const auto add = [&](std::string_view name, unsigned char type) {
    if (++entries > most) {
      folder.list_at = 2 * folder.queried;
      return false;
    }
    const Answer answer = type == DT_DIR                         ? Answer::kMissing
                          : type == DT_LNK || type == DT_UNKNOWN ? Answer::kAsk
                                                                 : Answer::kExists;
    names_.Insert(folder.id, name, answer);
    return true;
  };
  if (known_ != nullptr) {
    if (const auto listing = known_->find(folder.identity); listing != known_->end()) {
      for (const FolderEntry& entry : listing->second) {
        if (!add(entry.name, entry.type)) break;
      }
      return;
    }
  }
  DIR* listing = ::opendir(folder.spelling.c_str());
  if (listing == nullptr) return;
  for (const dirent* entry; (entry = ::readdir(listing)) != nullptr;) {
    if (!add(entry->d_name, entry->d_type)) break;
  }
  ::closedir(listing);
}

void TargetCache::StartPage(std::string_view folder) {
  if (folder == page_folder_) return;
  page_folder_.assign(folder);
  from_page_folder_.Clear();
}

bool TargetCache::ExistsNotDir(const std::string& path) {
  // The query sees the path up to its first NUL.
  const std::string_view queried = std::string_view(path).substr(0, path.find('\0'));
  const std::size_t slash = queried.rfind('/');
  if (slash == std::string_view::npos || slash + 1 == queried.size()) {
    if (const bool* known = bare_names_.Find(0, queried)) return *known;
    return bare_names_.Insert(0, queried, FileExistsNotDir(std::string(queried)));
  }

  const std::string_view spelling = queried.substr(0, slash + 1);
  Folder* folder = nullptr;
  if (!page_folder_.empty() && spelling.starts_with(page_folder_)) {
    const std::string_view rest = spelling.substr(page_folder_.size());
    if (Folder** known = from_page_folder_.Find(0, rest)) {
      folder = *known;
    } else {
      folder = from_page_folder_.Insert(0, rest, FolderOf(spelling));
    }
  } else {
    folder = FolderOf(spelling);
  }
  if (folder == nullptr) return false;  // a folder that cannot be searched holds nothing found
  const std::string_view name = queried.substr(slash + 1);
  Answer* known = names_.Find(folder->id, name);
  if (known == nullptr && folder->searchable && folder->queried >= folder->list_at) {
    List(*folder);
    known = names_.Find(folder->id, name);
  }
  if (known != nullptr && *known != Answer::kAsk) return *known == Answer::kExists;

  // Asked as FileExistsNotDir asks; a found name or a missing one shows the folder searchable.
  const std::string target(queried);
  struct stat info {};
  const bool found = ::stat(target.c_str(), &info) == 0;
  if (found || errno == ENOENT) folder->searchable = true;
  const Answer answer = found && !S_ISDIR(info.st_mode) ? Answer::kExists : Answer::kMissing;
  ++folder->queried;
  if (known != nullptr) {
    *known = answer;
  } else {
    names_.Insert(folder->id, name, answer);
  }
  return answer == Answer::kExists;
}

}  // namespace pagefields::cli
