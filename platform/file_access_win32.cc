#include <windows.h>

#include <string>

#include "platform/file_access.h"

namespace pagefields::platform {

// Other readers may share the page, so simultaneous requests for one file all succeed; no
// write sharing, so a page that another program holds open for writing is refused. Only a
// disk file is kept open: reading a pipe or a device (a serial port, the console) could wait
// forever or take bytes meant for another program. The size query takes the high 32 bits
// too, so a file of 4 GiB or more is told as such and not mistaken for a small one; a size
// that cannot be told is left at -1, which the loader takes as a failed read.
ReadOnlyFile::ReadOnlyFile(const char* path) {
  const HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = static_cast<int>(::GetLastError());
    return;
  }
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    return;
  }
  DWORD high = 0;
  ::SetLastError(NO_ERROR);
  const DWORD low = ::GetFileSize(file, &high);
  if (low != INVALID_FILE_SIZE || ::GetLastError() == NO_ERROR) {
    size_ = (static_cast<std::int64_t>(high) << 32) | low;
  }
  handle_ = reinterpret_cast<Handle>(file);
}

ReadOnlyFile::~ReadOnlyFile() {
  if (is_open()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// A failed ReadFile (a locked region, a lost network share, a disk error) is a failed read,
// never the end of the file: the caller then refuses the page instead of taking a part of it.
int ReadOnlyFile::Read(char* buffer, int count) {
  if (count <= 0) return 0;
  DWORD got = 0;
  if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(count), &got,
                  nullptr)) {
    error_ = static_cast<int>(::GetLastError());
    return -1;
  }
  return static_cast<int>(got);
}

// The system's message without its line end and final full stop; the code itself when the
// system has no message for it.
std::string ReadOnlyFile::ErrorText() const {
  if (error_ == 0) return {};
  char message[512];
  const DWORD length =
      ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error_), 0, message, sizeof message, nullptr);
  std::string text(message, length);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (text.empty()) text = "system error " + std::to_string(error_);
  return text;
}

PathKind QueryPath(const char* path) {
  if (path == nullptr) return PathKind::kMissing;
  const DWORD attributes = ::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kDirectory : PathKind::kOther;
}

}  // namespace pagefields::platform
