#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/file_access.h"

namespace pagefields::platform {

// POSIX has no share modes: a plain read-only open, so concurrent readers never refuse
// each other. Only a regular file is kept open: reading a named pipe or a device could wait
// forever or take bytes meant for another program. O_NONBLOCK lets the open of a pipe that
// has no writer return at once; it does not change reads of a regular file.
ReadOnlyFile::ReadOnlyFile(const char* path) {
  int fd = -1;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error_ = errno;
    return;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error_ = errno;
    ::close(fd);
    return;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return;
  }
  size_ = static_cast<std::int64_t>(info.st_size);
  handle_ = static_cast<Handle>(fd);
}

ReadOnlyFile::~ReadOnlyFile() {
  if (is_open()) ::close(static_cast<int>(handle_));
}

int ReadOnlyFile::Read(char* buffer, int count) {
  if (count <= 0) return 0;
  ssize_t got = -1;
  do {
    got = ::read(static_cast<int>(handle_), buffer, static_cast<std::size_t>(count));
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    error_ = errno;
    return -1;
  }
  return static_cast<int>(got);
}

std::string ReadOnlyFile::ErrorText() const {
  if (error_ == 0) return {};
  return std::generic_category().message(error_);
}

PathKind QueryPath(const char* path) {
  struct stat info {};
  if (path == nullptr || ::stat(path, &info) != 0) return PathKind::kMissing;
  return S_ISDIR(info.st_mode) ? PathKind::kDirectory : PathKind::kOther;
}

}  // namespace pagefields::platform
