#include <windows.h>

#include "platform/file_access.h"

namespace pagefields::platform {
namespace {

HANDLE AsHandle(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

}  // namespace

// Other readers may share the page, so simultaneous requests for one file all succeed; no
// write sharing, so a page that another program holds open for writing is refused. Only a
// disk file is kept open: reading a pipe or a device (a serial port, the console) could wait
// forever or take bytes meant for another program. The size query takes the high 32 bits
// too, so a file of 4 GiB or more is told as such and not mistaken for a small one; a size
// that cannot be told is left at -1, which the loader takes as a failed read.
FileHandle OpenForReading(const char* path, std::int64_t& size) {
  size = -1;
  const HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kNoFile;
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    return kNoFile;
  }
  DWORD high = 0;
  ::SetLastError(NO_ERROR);
  const DWORD low = ::GetFileSize(file, &high);
  if (low != INVALID_FILE_SIZE || ::GetLastError() == NO_ERROR) {
    size = (static_cast<std::int64_t>(high) << 32) | low;
  }
  return reinterpret_cast<FileHandle>(file);
}

// A failed ReadFile (a locked region, a lost network share, a disk error) is a failed read,
// never the end of the file: the caller then refuses the page instead of taking a part of it.
int ReadBytes(FileHandle file, char* buffer, int count) {
  if (count <= 0) return 0;
  DWORD got = 0;
  if (!::ReadFile(AsHandle(file), buffer, static_cast<DWORD>(count), &got, nullptr)) return -1;
  return static_cast<int>(got);
}

void CloseFile(FileHandle file) {
  ::CloseHandle(AsHandle(file));
}

PathKind QueryPath(const char* path) {
  if (path == nullptr) return PathKind::kMissing;
  const DWORD attributes = ::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kDirectory : PathKind::kOther;
}

}  // namespace pagefields::platform
