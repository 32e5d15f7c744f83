#include "extract/file_probe.h"

#include "platform/file_access.h"

namespace pagefields {

bool FileExistsNotDir(const std::string& path) {
  return platform::QueryPath(path.c_str()) == platform::PathKind::kOther;
}

}  // namespace pagefields
