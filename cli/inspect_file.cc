#include "cli/inspect_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <filesystem>
#include <new>
#include <system_error>

#include "plugin/document.h"

namespace pagefields::cli {
namespace {

// "Brocken_A" is row 15: the first internal link whose target file is missing.
constexpr int kBrokenLinkRow = 15;
static_assert(FieldTable[kBrokenLinkRow].name == "Brocken_A");

// Why `path` cannot be read, or empty when it is a file that may be opened. Anything but a
// regular file is refused before the open: a pipe or a device would block it or never end.
std::string RefusalReason(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error) return error.message();
  if (std::filesystem::is_directory(status)) return "is a folder";
  if (!std::filesystem::is_regular_file(status)) return "not a regular file";
  return {};
}

FileReport Unreadable(std::string reason) {
  FileReport report;
  report.outcome = FileOutcome::kUnreadable;
  report.reason = "cannot be read: " + std::move(reason);
  return report;
}

FileReport UnreadableFor(int code) {
  return Unreadable(code != 0 ? std::generic_category().message(code) : "read failed");
}

// Closes the file on every way out.
class OpenFile {
 public:
  explicit OpenFile(const std::string& path) {
    // Not blocking: what was a regular file in the walk may have been replaced by a pipe.
    do {
      fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd_ < 0 && errno == EINTR);
  }
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

FileReport InspectLoaded(const WalkedFile& file, FieldSet wanted, int max_len,
                         const TextDelivery& delivery, TargetCache& targets) {
  const std::string& path = file.path;
  // A file the walk saw as regular is opened at once; the open tells what changed since.
  if (!file.regular) {
    if (std::string refusal = RefusalReason(path); !refusal.empty()) {
      return Unreadable(std::move(refusal));
    }
  }
  const OpenFile opened(path);
  if (opened.fd() < 0) return UnreadableFor(errno);
  struct stat info {};
  if (::fstat(opened.fd(), &info) != 0) return UnreadableFor(errno);
  if (S_ISDIR(info.st_mode)) return Unreadable("is a folder");
  if (!S_ISREG(info.st_mode)) return Unreadable("not a regular file");

  LoadFailure failure = LoadFailure::kUnreadable;
  errno = 0;
  const auto document = LoadOpenDocument(opened.fd(), info.st_size, failure);
  if (!document) {
    if (failure == LoadFailure::kUnreadable) return UnreadableFor(errno);
    FileReport report;
    report.outcome = FileOutcome::kNotHtml;
    report.reason = "not HTML: no <HTML> in the first 64 bytes";
    return report;
  }

  wanted.set(kBrokenLinkRow);
  FileReport report;
  report.outcome = FileOutcome::kPage;
  const TargetCheck exists = [&targets](const std::string& target) {
    return targets.ExistsNotDir(target);
  };
  const std::string folder = FolderOfPath(path);
  targets.StartPage(folder);
  // With a cut, string rows need to hold only the bytes the cut keeps.
  report.values = max_len > 0
                      ? ComputeFieldsForBuffer(*document, folder, wanted, max_len, delivery, exists)
                      : ComputeFields(*document, folder, wanted, exists);
  report.has_broken_link = !report.values[kBrokenLinkRow].text.empty();
  for (int row = 0; row < kFieldCount; ++row) {
    if (FieldTable[row].type == FieldTypeString) {
      report.values[row].text = DeliveredText(report.values[row], max_len, delivery);
    }
  }
  return report;
}

}  // namespace

FileReport InspectFile(const WalkedFile& file, FieldSet wanted, int max_len,
                       const TextDelivery& delivery, TargetCache& targets) {
  try {
    return InspectLoaded(file, wanted, max_len, delivery, targets);
  } catch (const std::bad_alloc&) {
    // The page was read; a value without a cut (nested noindex blocks) outgrew the memory.
    FileReport report;
    report.reason = "out of memory for its values (--max-len bounds them)";
    return report;
  } catch (const std::exception& error) {
    return Unreadable(error.what());
  } catch (...) {
    return Unreadable("unexpected failure");
  }
}

}  // namespace pagefields::cli
