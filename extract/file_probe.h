#pragma once

#include <functional>
#include <string>

namespace pagefields {

// True when `path` names an existing file-system entry that is not a directory. A path that
// cannot be queried for any reason counts as missing. Only the bytes before a NUL count.
bool FileExistsNotDir(const std::string& path);

// Answers FileExistsNotDir's question for the broken-link probe. A caller that probes many
// pages of one site may remember the answers, since pages link to the same files.
using TargetCheck = std::function<bool(const std::string& path)>;

}  // namespace pagefields
