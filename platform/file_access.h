#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

// The few operating-system calls the library makes: reading one document and asking
// whether a path names a file. One implementation per platform sits beside this header.
namespace pagefields::platform {

// A file open for reading, closed when the object ends.
class ReadOnlyFile {
 public:
  // Opens an existing file read-only; is_open() tells whether it worked. A folder is refused;
  // so is a pipe or a device, without waiting for a writer. Other readers may hold the file
  // at the same time; where the platform has share modes, a file that another handle holds
  // with write access is refused, so a page is never read while it is being written.
  // The open learns the file's size on its way (POSIX does while checking the file's type).
  explicit ReadOnlyFile(const char* path);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool is_open() const { return handle_ != kNoFile; }

  // The file's size when it was opened; -1 when it cannot be told or the open failed. A page
  // is read up to that size.
  std::int64_t size() const { return size_; }

  // Reads up to `count` bytes at the current position. Returns the number read (0 at the end
  // of the file), or -1 when the read fails; ErrorText() then tells why.
  int Read(char* buffer, int count);

  // Why the open or the last read failed, in the platform's words: errno's text
  // ("Input/output error") or the system's message for GetLastError's code. Empty when the
  // platform gave no reason: a file of another kind is refused without one.
  std::string ErrorText() const;

 private:
  // A file descriptor, a HANDLE, or what a test layer keeps per open.
  using Handle = std::intptr_t;
  static constexpr Handle kNoFile = -1;

  Handle handle_ = kNoFile;
  std::int64_t size_ = -1;
  int error_ = 0;  // errno or GetLastError of the call that failed; 0 for none
};

// The longest path a query can succeed for; anything longer names nothing.
#if defined(_WIN32)
inline constexpr std::size_t kLongestQueryablePath = 32767;
#else
inline constexpr std::size_t kLongestQueryablePath = PATH_MAX - 1;
#endif

enum class PathKind { kMissing, kDirectory, kOther };

// What `path` names; kMissing also when the query fails.
PathKind QueryPath(const char* path);

}  // namespace pagefields::platform
