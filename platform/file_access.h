#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

// The few operating-system calls the library makes: reading one document and asking
// whether a path names a file. One implementation per platform sits beside this header.
namespace pagefields::platform {

// An open file; `kNoFile` when the open failed.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Opens an existing file read-only, or returns kNoFile. A folder is refused; so is a pipe or
// a device, without waiting for a writer. Other readers may hold the file at the same time;
// where the platform has share modes, a file that another handle holds with write access is
// refused, so a page is never read while it is being written.
// Sets `size` to the file's size, or to -1 when it cannot be told. A page is read up to that
// size, and the open has it at hand (POSIX learns it while checking the file's type).
FileHandle OpenForReading(const char* path, std::int64_t& size);

// Reads up to `count` bytes at the current position. Returns the number read (0 at the end
// of the file), or -1 when the read fails; errno (GetLastError on Windows) then tells why.
int ReadBytes(FileHandle file, char* buffer, int count);

void CloseFile(FileHandle file);

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
