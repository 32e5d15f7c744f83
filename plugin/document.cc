#include "plugin/document.h"

#include <climits>
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

// Positions are signed 32-bit, so a document holds at most INT_MAX bytes in all.
constexpr std::int64_t kMaxDocumentLength = INT_MAX;

// Appends the bytes of `file` from `position` (where it stands) up to `size`, read in place
// so the file is held in memory once. Appends nothing when nothing remains or when the
// remainder cannot be held in a document (2 GiB or more); a failed or short read keeps what
// arrived. Throws std::bad_alloc when memory runs out, leaving `document` as it was.
void ReadRemainder(platform::FileHandle file, std::int64_t position, std::int64_t size,
                   DocumentText& document) {
  if (position < 0 || size < 0) return;
  const std::int64_t remainder = size - position;
  if (remainder <= 0 ||
      remainder > kMaxDocumentLength - static_cast<std::int64_t>(document.size())) {
    return;
  }

  const std::size_t loaded = document.size();
  document.Grow(static_cast<std::size_t>(remainder));
  std::size_t filled = loaded;
  while (filled < document.size()) {
    const int got = platform::ReadBytes(file, document.data() + filled,
                                        static_cast<int>(document.size() - filled));
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  document.Shorten(filled);
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

// Reads the rest through `read_rest`; a page too large to hold goes on with the sniffed bytes.
template <typename ReadRest>
std::optional<DocumentText> SniffAndRead(platform::FileHandle file, LoadFailure& failure,
                                         ReadRest read_rest) {
  std::optional<DocumentText> document = Sniff(file, failure);
  if (!document) return std::nullopt;
  try {
    read_rest(*document);
  } catch (const std::bad_alloc&) {
    // Too large to hold: the request goes on with the sniffed bytes.
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
  return SniffAndRead(file, failure, [file, size](DocumentText& document) {
    // Nothing but the sniff has been read, so the file stands right after it: asking the
    // position would cost a system call and tell nothing new.
    ReadRemainder(file, static_cast<std::int64_t>(document.size()), size, document);
  });
}

std::string FolderOfPath(std::string_view path) {
  const std::size_t last_separator = path.find_last_of(":\\/");
  if (last_separator == std::string_view::npos) return {};
  return std::string(path.substr(0, last_separator + 1));
}

}  // namespace pagefields
