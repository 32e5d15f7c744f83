#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_access.h"

namespace pagefields::platform {

// POSIX has no share modes: a plain read-only open, so concurrent readers never refuse
// each other. Only a regular file is kept open: reading a named pipe or a device could wait
// forever or take bytes meant for another program. O_NONBLOCK lets the open of a pipe that
// has no writer return at once; it does not change reads of a regular file.
FileHandle OpenForReading(const char* path, std::int64_t& size) {
  size = -1;
  int fd = -1;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return kNoFile;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return kNoFile;
  }
  size = static_cast<std::int64_t>(info.st_size);
  return static_cast<FileHandle>(fd);
}

int ReadBytes(FileHandle file, char* buffer, int count) {
  if (count <= 0) return 0;
  ssize_t got = -1;
  do {
    got = ::read(static_cast<int>(file), buffer, static_cast<std::size_t>(count));
  } while (got < 0 && errno == EINTR);
  return got < 0 ? -1 : static_cast<int>(got);
}

void CloseFile(FileHandle file) {
  ::close(static_cast<int>(file));
}

PathKind QueryPath(const char* path) {
  struct stat info {};
  if (path == nullptr || ::stat(path, &info) != 0) return PathKind::kMissing;
  return S_ISDIR(info.st_mode) ? PathKind::kDirectory : PathKind::kOther;
}

}  // namespace pagefields::platform
