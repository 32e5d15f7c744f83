#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_access.h"
#include "plugin/document_text.h"

namespace pagefields {

// A file is HTML when "<HTML>", in any letter case, lies wholly within its first bytes.
inline constexpr int SniffLength = 64;

// Why LoadDocument gave no document.
enum class LoadFailure { kUnreadable, kNotHtml };

// The whole file `path` as the DocumentText, or nullopt when it cannot be opened or read or
// its first SniffLength bytes hold no "<HTML>"; the second form also tells which. Running out
// of memory while reading the rest leaves the text loaded so far. The file is closed before
// this returns.
std::optional<DocumentText> LoadDocument(const char* path);
std::optional<DocumentText> LoadDocument(const char* path, LoadFailure& failure);

// LoadDocument for a file the caller has opened and not read yet, whose size it knows; the
// caller closes it. Reads as LoadDocument does, without asking the size or the position.
std::optional<DocumentText> LoadOpenDocument(platform::FileHandle file, std::int64_t size,
                                             LoadFailure& failure);

// `path` up to and including its last ':', '\' or '/'; empty when it has none.
std::string FolderOfPath(std::string_view path);

}  // namespace pagefields
