// A platform layer that injects faults, for a second build of the plugin that the load
// failure tests use. It reads files as the POSIX layer does, except where a file `P` has a
// companion `P.fault` that holds one line "KIND BYTES":
//   read-error N  the reads deliver the first N bytes of the file, then fail with EIO
//   no-memory N   the reads deliver the first N bytes, then run out of memory
//                 (std::bad_alloc, as an allocation in their place would)
//   shrunk N      the open reports the file N bytes longer than it is: it shrank since
//   grown N       the open reports the file N bytes shorter than it is: it grew since
// Each open has its own state, so requests may run at the same time.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <system_error>

#include "platform/file_access.h"

namespace pagefields::platform {
namespace {

enum class Fault { kNone, kReadError, kNoMemory, kShrunk, kGrown };

struct FaultyFile {
  int fd = -1;
  Fault fault = Fault::kNone;
  std::int64_t bytes = 0;      // N of the fault line
  std::int64_t delivered = 0;  // bytes the reads have delivered so far
};

void ReadFaultLine(const char* path, FaultyFile& file) {
  std::ifstream line(std::string(path) + ".fault");
  std::string kind;
  if (!(line >> kind >> file.bytes)) return;
  if (kind == "read-error") file.fault = Fault::kReadError;
  if (kind == "no-memory") file.fault = Fault::kNoMemory;
  if (kind == "shrunk") file.fault = Fault::kShrunk;
  if (kind == "grown") file.fault = Fault::kGrown;
}

FaultyFile& AsFaulty(std::intptr_t handle) {
  return *reinterpret_cast<FaultyFile*>(handle);
}

}  // namespace

ReadOnlyFile::ReadOnlyFile(const char* path) {
  auto file = std::make_unique<FaultyFile>();
  file->fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (file->fd < 0) {
    error_ = errno;
    return;
  }
  struct stat info {};
  if (::fstat(file->fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(file->fd);
    return;
  }
  ReadFaultLine(path, *file);
  size_ = static_cast<std::int64_t>(info.st_size);
  if (file->fault == Fault::kShrunk) size_ += file->bytes;
  if (file->fault == Fault::kGrown) size_ -= file->bytes;
  handle_ = reinterpret_cast<Handle>(file.release());
}

ReadOnlyFile::~ReadOnlyFile() {
  if (!is_open()) return;
  const std::unique_ptr<FaultyFile> file(&AsFaulty(handle_));
  ::close(file->fd);
}

int ReadOnlyFile::Read(char* buffer, int count) {
  FaultyFile& file = AsFaulty(handle_);
  if (count <= 0) return 0;
  if (file.fault == Fault::kReadError || file.fault == Fault::kNoMemory) {
    const std::int64_t left = file.bytes - file.delivered;
    if (left <= 0) {
      if (file.fault == Fault::kNoMemory) throw std::bad_alloc();
      error_ = EIO;
      return -1;
    }
    if (left < count) count = static_cast<int>(left);
  }
  const ssize_t got = ::read(file.fd, buffer, static_cast<std::size_t>(count));
  if (got < 0) {
    error_ = errno;
    return -1;
  }
  file.delivered += got;
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
