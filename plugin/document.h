#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_access.h"
#include "plugin/content_plugin.h"
#include "plugin/document_text.h"

namespace pagefields {

// A file is HTML when "<HTML>", in any letter case, lies wholly within its first bytes.
inline constexpr int SniffLength = 64;

// How a file is recognised as a page. kHtmlMarker is the plugin's rule: "<HTML>" within the
// first SniffLength bytes. kPageHead also takes a file whose first PageHeadLength bytes hold
// the head of a page written today (see HasPageHead); the command line offers it.
enum class PageSniff { kHtmlMarker, kPageHead };

inline constexpr int PageHeadLength = 1024;

// Whether `first_bytes` hold, in any letter case, an "<html" start tag with an attribute
// ("<html lang=en>": a blank and then a byte other than '>' or '/') or "<!DOCTYPE html".
bool HasPageHead(std::string_view first_bytes);

// The longest page read: positions in a page are signed 32-bit.
inline constexpr std::int64_t MaxDocumentLength = PAGEFIELDS_MAX_PAGE_LENGTH;

// Whether the first bytes of a file make it a page by `sniff`'s rule; `first_bytes` may hold
// more than the rule looks at.
bool IsPage(std::string_view first_bytes, PageSniff sniff);

// Why LoadDocument gave no document. kUnreadable: the open or the first read failed.
// kReadFailed: the read of the rest failed (not the end of the file); the file's ErrorText
// tells why. kTooLarge: an HTML file longer than
// MaxDocumentLength. kOutOfMemory: memory ran out while the page was loaded.
enum class LoadFailure { kUnreadable, kNotHtml, kReadFailed, kTooLarge, kOutOfMemory };

// The whole file `path` as the DocumentText, or nullopt when it is not HTML (no "<HTML>" in
// its first SniffLength bytes) or cannot be loaded whole; the second form also tells why. A
// read that meets the end of the file early (it shrank since it was opened) gives the page as
// it now is. Never throws. The file is closed before this returns.
std::optional<DocumentText> LoadDocument(const char* path);
std::optional<DocumentText> LoadDocument(const char* path, LoadFailure& failure);

// LoadDocument for a file the caller has opened and not read yet. Reads as LoadDocument does,
// up to the size the open learnt, without asking the position; a size of -1 (not known) is a
// failed read.
std::optional<DocumentText> LoadOpenDocument(platform::ReadOnlyFile& file, LoadFailure& failure,
                                             PageSniff sniff = PageSniff::kHtmlMarker);

// `path` up to and including its last ':', '\' or '/'; empty when it has none. Views the
// bytes of `path`.
std::string_view FolderOfPath(std::string_view path);

}  // namespace pagefields
