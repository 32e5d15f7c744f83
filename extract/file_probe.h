#pragma once

#include <string>

namespace pagefields {

// True when `path` names an existing file-system entry that is not a directory. A path that
// cannot be queried for any reason counts as missing. Only the bytes before a NUL count.
bool FileExistsNotDir(const std::string& path);

}  // namespace pagefields
