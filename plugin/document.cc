#include "plugin/document.h"

#include <new>

#include "text/search.h"

namespace pagefields {
namespace {

// Closes the file on every way out of LoadDocument.
class OpenFile {
 public:
  explicit OpenFile(const char* path) : handle_(platform::OpenForReading(path, size_)) {}
  ~OpenFile() {
    if (handle_ != platform::kNoFile) platform::CloseFile(handle_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  bool is_open() const { return handle_ != platform::kNoFile; }
  platform::FileHandle handle() const { return handle_; }
  std::int64_t size() const { return size_; }

 private:
  std::int64_t size_ = -1;  // declared first: the open in handle_'s initializer sets it
  platform::FileHandle handle_;
};

// Reads the bytes of `file` behind the `document.size()` bytes already loaded, up to `size`,
// in place, so the file is held in memory once. A read that meets the end of the file early
// keeps what arrived: the file shrank, and that is the page as it now is. Returns false when
// a read fails. Throws std::bad_alloc when memory runs out.
bool ReadRemainder(platform::FileHandle file, std::int64_t size, DocumentText& document) {
  const std::size_t loaded = document.size();
  const std::int64_t remainder = size - static_cast<std::int64_t>(loaded);
  if (remainder <= 0) return true;

  document.Grow(static_cast<std::size_t>(remainder));
  std::size_t filled = loaded;
  while (filled < document.size()) {
    const int got = platform::ReadBytes(file, document.data() + filled,
                                        static_cast<int>(document.size() - filled));
    if (got < 0) return false;
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  document.Shorten(filled);
  return true;
}

// The first SniffLength bytes of `file` when they hold "<HTML>"; otherwise nullopt and why.
std::optional<DocumentText> Sniff(platform::FileHandle file, LoadFailure& failure) {
  failure = LoadFailure::kUnreadable;
  char sniff[SniffLength];
  const int sniffed = platform::ReadBytes(file, sniff, SniffLength);
  if (sniffed < 0) return std::nullopt;
  failure = LoadFailure::kNotHtml;
  if (sniffed == 0) return std::nullopt;
  const std::string_view sniffed_bytes(sniff, static_cast<std::size_t>(sniffed));
  if (PosText("<HTML>", sniffed_bytes, 1) == 0) return std::nullopt;
  return DocumentText(sniffed_bytes);
}

// The sniffed page with the rest of it read, or nullopt and why. Only an HTML file's size is
// weighed, so a large file of another kind is still told as not HTML.
std::optional<DocumentText> SniffAndRead(platform::FileHandle file, std::int64_t size,
                                         LoadFailure& failure) {
  std::optional<DocumentText> document = Sniff(file, failure);
  if (!document) return std::nullopt;
  if (size < 0) {
    failure = LoadFailure::kReadFailed;
    return std::nullopt;
  }
  if (size > MaxDocumentLength) {
    failure = LoadFailure::kTooLarge;
    return std::nullopt;
  }
  if (!ReadRemainder(file, size, *document)) {
    failure = LoadFailure::kReadFailed;
    return std::nullopt;
  }
  return document;
}

}  // namespace

std::optional<DocumentText> LoadDocument(const char* path) {
  LoadFailure ignored;
  return LoadDocument(path, ignored);
}

std::optional<DocumentText> LoadDocument(const char* path, LoadFailure& failure) {
  failure = LoadFailure::kUnreadable;
  OpenFile file(path);
  if (!file.is_open()) return std::nullopt;
  return LoadOpenDocument(file.handle(), file.size(), failure);
}

std::optional<DocumentText> LoadOpenDocument(platform::FileHandle file, std::int64_t size,
                                             LoadFailure& failure) {
  try {
    // Nothing but the sniff is read before the rest, so the file stands right after it:
    // asking the position would cost a system call and tell nothing new.
    return SniffAndRead(file, size, failure);
  } catch (const std::bad_alloc&) {
    // A page loaded in part would answer as if its links and text were not there.
    failure = LoadFailure::kOutOfMemory;
    return std::nullopt;
  }
}

std::string FolderOfPath(std::string_view path) {
  const std::size_t last_separator = path.find_last_of(":\\/");
  if (last_separator == std::string_view::npos) return {};
  return std::string(path.substr(0, last_separator + 1));
}

}  // namespace pagefields
