#include "plugin/document.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "text/search.h"

namespace pagefields {
namespace {

// Reads the bytes of `file` that follow the `loaded` bytes at the start of `document` into
// the rest of it, in place, so the file is held in memory once. A read that meets the end of
// the file early keeps what arrived: the file shrank, and that is the page as it now is.
// Returns false when a read fails.
bool ReadRest(platform::ReadOnlyFile& file, DocumentText& document, std::size_t loaded) {
  std::size_t filled = loaded;
  while (filled < document.size()) {
    const int got = file.Read(document.data() + filled, static_cast<int>(document.size() - filled));
    if (got < 0) return false;
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  document.Shorten(filled);
  return true;
}

bool IsBlank(char byte) {
  return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '\f';
}

bool IsNameByte(char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') || byte == '-';
}

// Whether an "<html" at 0-based `at` of `bytes` opens a tag with an attribute.
bool HtmlTagWithAttributeAt(std::string_view bytes, std::size_t at) {
  std::size_t next = at + 5;
  if (next >= bytes.size() || !IsBlank(bytes[next])) return false;
  while (next < bytes.size() && IsBlank(bytes[next])) ++next;
  return next < bytes.size() && bytes[next] != '>' && bytes[next] != '/';
}

// Whether a "<!DOCTYPE" at 0-based `at` of `bytes` names html.
bool HtmlDoctypeAt(std::string_view bytes, std::size_t at) {
  std::size_t next = at + 9;
  if (next >= bytes.size() || !IsBlank(bytes[next])) return false;
  while (next < bytes.size() && IsBlank(bytes[next])) ++next;
  const std::string_view name = bytes.substr(next, 4);
  return PosText("html", name, 1) == 1 &&
         (next + 4 == bytes.size() || !IsNameByte(bytes[next + 4]));
}

// Reads up to `wanted` bytes, fewer only at the end of the file; -1 when a read fails.
int ReadUpTo(platform::ReadOnlyFile& file, char* into, int wanted) {
  int filled = 0;
  while (filled < wanted) {
    const int got = file.Read(into + filled, wanted - filled);
    if (got < 0) return -1;
    if (got == 0) break;
    filled += got;
  }
  return filled;
}

// The bytes the sniff read.
struct FirstBytes {
  char bytes[PageHeadLength];
  std::size_t count = 0;

  std::string_view view() const { return {bytes, count}; }
};

// Reads the first bytes of `file` into `first`; true when they make it a page, else false
// and why. The plugin's rule reads SniffLength bytes in one read, as it always has; the
// page-head rule reads PageHeadLength.
bool Sniff(platform::ReadOnlyFile& file, PageSniff sniff, FirstBytes& first, LoadFailure& failure) {
  failure = LoadFailure::kUnreadable;
  const int sniffed = sniff == PageSniff::kHtmlMarker ? file.Read(first.bytes, SniffLength)
                                                      : ReadUpTo(file, first.bytes, PageHeadLength);
  if (sniffed < 0) return false;
  first.count = static_cast<std::size_t>(sniffed);
  failure = LoadFailure::kNotHtml;
  return sniffed != 0 && IsPage(first.view(), sniff);
}

// The sniffed page with the rest of it read, or nullopt and why. Only an HTML file's size is
// weighed, so a large file of another kind is still told as not HTML.
std::optional<DocumentText> SniffAndRead(platform::ReadOnlyFile& file, PageSniff sniff,
                                         LoadFailure& failure) {
  FirstBytes first;
  if (!Sniff(file, sniff, first, failure)) return std::nullopt;
  const std::int64_t size = file.size();
  if (size < 0) {
    failure = LoadFailure::kReadFailed;
    return std::nullopt;
  }
  if (size > MaxDocumentLength) {
    failure = LoadFailure::kTooLarge;
    return std::nullopt;
  }
  // The whole page goes into memory of its full size, taken once; a file that grew since
  // the open keeps at least what the sniff read.
  std::optional<DocumentText> document(std::in_place);
  const std::size_t whole = std::max(first.count, static_cast<std::size_t>(size));
  std::memcpy(document->Grow(whole), first.bytes, first.count);
  if (!ReadRest(file, *document, first.count)) {
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
  platform::ReadOnlyFile file(path);
  if (!file.is_open()) return std::nullopt;
  return LoadOpenDocument(file, failure);
}

bool IsPage(std::string_view first_bytes, PageSniff sniff) {
  if (PosText("<HTML>", first_bytes.substr(0, SniffLength), 1) != 0) return true;
  return sniff == PageSniff::kPageHead && HasPageHead(first_bytes);
}

bool HasPageHead(std::string_view first_bytes) {
  for (int at = PosText("<html", first_bytes, 1); at != 0;
       at = PosText("<html", first_bytes, at + 1)) {
    if (HtmlTagWithAttributeAt(first_bytes, static_cast<std::size_t>(at - 1))) return true;
  }
  for (int at = PosText("<!doctype", first_bytes, 1); at != 0;
       at = PosText("<!doctype", first_bytes, at + 1)) {
    if (HtmlDoctypeAt(first_bytes, static_cast<std::size_t>(at - 1))) return true;
  }
  return false;
}

std::optional<DocumentText> LoadOpenDocument(platform::ReadOnlyFile& file, LoadFailure& failure,
                                             PageSniff sniff) {
  try {
    // Nothing but the sniff is read before the rest, so the file stands right after it:
    // asking the position would cost a system call and tell nothing new.
    return SniffAndRead(file, sniff, failure);
  } catch (const std::bad_alloc&) {
    // A page loaded in part would answer as if its links and text were not there.
    failure = LoadFailure::kOutOfMemory;
    return std::nullopt;
  }
}

std::string_view FolderOfPath(std::string_view path) {
  std::size_t end = path.size();
  while (end > 0 && path[end - 1] != '/' && path[end - 1] != '\\' && path[end - 1] != ':') --end;
  return path.substr(0, end);
}

}  // namespace pagefields
