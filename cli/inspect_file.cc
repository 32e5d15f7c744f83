#include "cli/inspect_file.h"

#include <exception>
#include <filesystem>
#include <new>
#include <system_error>

#include "platform/file_access.h"
#include "plugin/document.h"
#include "text/utf8.h"

namespace pagefields::cli {
namespace {

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

// The platform's reason, or `otherwise` when it gave none.
std::string ReasonOr(std::string reason, const char* otherwise) {
  return reason.empty() ? otherwise : reason;
}

// Why a page could not be loaded whole, after LoadOpenDocument failed with `failure`.
std::string LoadFailureReason(LoadFailure failure, const platform::ReadOnlyFile& file) {
  switch (failure) {
    case LoadFailure::kReadFailed:
      if (std::string why = file.ErrorText(); !why.empty()) return "read failed: " + why;
      return "read failed";
    case LoadFailure::kTooLarge:
      return "2 GiB or more";
    case LoadFailure::kOutOfMemory:
      return "out of memory";
    default:
      return ReasonOr(file.ErrorText(), "read failed");
  }
}

// A raw string as a host buffer of `cut` bytes receives it.
std::string Delivered(std::string_view raw, int cut, const TextDelivery& delivery) {
  const RawFieldValue value{0, std::string(raw.substr(0, RawBytesForBuffer(cut))),
                            IsUtf8(raw.substr(0, raw.find('\0')))};
  return DeliveredText(value, cut, delivery);
}

// Keeps the missing links a walk hands out, within kLongestMissingLinkList.
class MissingLinkList {
 public:
  MissingLinkList(std::string_view folder, int cut, const TextDelivery& delivery, bool keep)
      : folder_(folder), cut_(cut), delivery_(delivery), keep_(keep) {}

  // False when the list has grown too long: the walk ends there.
  bool Add(const MissingLink& link) {
    ++count_;
    if (!keep_) return true;
    FoundMissingLink found{Delivered(link.written, cut_, delivery_),
                           Delivered(link.probed, cut_, delivery_), std::string(folder_)};
    // The query sees the path up to its first NUL.
    found.asked += link.probed.substr(0, link.probed.find('\0'));
    bytes_ += found.written.size() + found.probed.size() + found.asked.size();
    if (bytes_ > kLongestMissingLinkList) {
      too_long_ = true;
      return false;
    }
    links_.push_back(std::move(found));
    return true;
  }

  int count() const { return count_; }
  bool too_long() const { return too_long_; }
  std::vector<FoundMissingLink> Take() { return std::move(links_); }

 private:
  std::string_view folder_;
  int cut_;
  const TextDelivery& delivery_;
  bool keep_;
  int count_ = 0;
  std::size_t bytes_ = 0;
  bool too_long_ = false;
  std::vector<FoundMissingLink> links_;
};

std::string NotPageReason(PageSniff sniff) {
  if (sniff == PageSniff::kHtmlMarker) return "not HTML: no <HTML> in the first 64 bytes";
  return "not HTML: no <HTML> in the first 64 bytes, no <html ...> with an attribute or "
         "<!DOCTYPE html> in the first 1024";
}

FileReport InspectLoaded(const WalkedFile& file, const InspectRequest& request,
                         const TextDelivery& delivery, TargetCache& targets) {
  FieldSet wanted = request.wanted;
  const int max_len = request.max_len;
  const std::string& path = file.path;
  // A file the walk saw as regular is opened at once; the open tells what changed since.
  if (!file.regular) {
    if (std::string refusal = RefusalReason(path); !refusal.empty()) {
      return Unreadable(std::move(refusal));
    }
  }
  // The platform layer's open refuses anything but a regular file without waiting: what was
  // a regular file in the walk may now be a pipe.
  platform::ReadOnlyFile opened(path.c_str());
  if (!opened.is_open()) {
    // The open refuses folders, pipes and devices alike; the status tells which.
    if (std::string refusal = RefusalReason(path); !refusal.empty()) {
      return Unreadable(std::move(refusal));
    }
    return Unreadable(ReasonOr(opened.ErrorText(), "read failed"));
  }

  LoadFailure failure = LoadFailure::kUnreadable;
  const auto document = LoadOpenDocument(opened, failure, request.sniff);
  if (!document) {
    if (failure != LoadFailure::kNotHtml) return Unreadable(LoadFailureReason(failure, opened));
    FileReport report;
    report.outcome = FileOutcome::kNotHtml;
    report.reason = NotPageReason(request.sniff);
    return report;
  }

  wanted.Add(Field::kBrokenLink);
  FileReport report;
  report.outcome = FileOutcome::kPage;
  const TargetCheck exists = [&targets](const std::string& target) {
    return targets.ExistsNotDir(target);
  };
  const std::string folder(FolderOfPath(path));
  targets.StartPage(folder);
  // Without a cut, strings are computed one byte beyond the longest written, which tells a
  // longer one without building it whole.
  const int cut = max_len > 0 ? max_len : static_cast<int>(kLongestUncutValue) + 2;
  MissingLinkList missing(folder, cut, delivery, request.list_missing);
  MissingLinkSink every_missing = nullptr;
  if (request.count_missing || request.list_missing) {
    every_missing = [&missing](const MissingLink& link) { return missing.Add(link); };
  }
  report.values =
      ComputeFieldsForBuffer(*document, folder, wanted, cut, delivery, exists, every_missing);
  if (missing.too_long()) {
    return Unreadable("its missing links take more than 16 MiB (--max-len cuts them)");
  }
  report.has_broken_link = !report.values[Field::kBrokenLink].text.empty();
  report.missing_count = missing.count();
  report.missing_links = missing.Take();
  for (const Field field : kAllFields) {
    if (RowOf(field).type != FieldTypeString) continue;
    report.values[field].text = DeliveredText(report.values[field], cut, delivery);
    if (report.values[field].text.size() > kLongestUncutValue) {
      return Unreadable(std::string(RowOf(field).name) +
                        " is longer than 16 MiB (--max-len cuts strings)");
    }
  }
  return report;
}

}  // namespace

FileReport InspectFile(const WalkedFile& file, const InspectRequest& request,
                       const TextDelivery& delivery, TargetCache& targets) {
  try {
    return InspectLoaded(file, request, delivery, targets);
  } catch (const std::bad_alloc&) {
    // The page was read; its values outgrew the memory.
    return Unreadable("out of memory");
  } catch (const std::exception& error) {
    return Unreadable(error.what());
  } catch (...) {
    return Unreadable("unexpected failure");
  }
}

}  // namespace pagefields::cli
