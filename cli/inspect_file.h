#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/folder_walk.h"
#include "cli/target_cache.h"
#include "plugin/delivery.h"
#include "plugin/document.h"
#include "plugin/field_values.h"

namespace pagefields::cli {

enum class FileOutcome { kPage, kNotHtml, kUnreadable };

// An internal link of a page whose target is missing, as the command line shows it: the link
// as the page writes it and the part of it that was probed, both delivered as string values
// are (entities decoded, cut to max_len - 1), and the path that was asked (the page's folder
// and the probed part, raw bytes).
struct FoundMissingLink {
  std::string written;
  std::string probed;
  std::string asked;
};

// What to compute for each file.
struct InspectRequest {
  FieldSet wanted;
  int max_len = 0;  // as a host buffer of this size receives strings; 0: no cut
  PageSniff sniff = PageSniff::kHtmlMarker;
  bool count_missing = false;  // count every missing target of the page
  bool list_missing = false;   // and keep each of them
};

// What one file gave.
struct FileReport {
  FileOutcome outcome = FileOutcome::kUnreadable;
  std::string reason;  // why the file gave no page
  // The wanted rows as a host buffer of max_len bytes receives them: numbers, and the
  // delivered text of string rows (DeliveredText: entities decoded, in the encoding of the
  // delivery, cut at a NUL and to max_len - 1).
  FieldValues values{};
  bool has_broken_link = false;  // the page links to a missing internal file
  // With count_missing: the internal links whose target is missing, counted by anchor.
  int missing_count = 0;
  std::vector<FoundMissingLink> missing_links;  // with list_missing: each, in document order
};

// The text a page's missing links may take at most, in all; a page whose list would be
// longer is reported as unreadable, so no page can exhaust the memory.
inline constexpr std::size_t kLongestMissingLinkList = 16 << 20;

// Without a cut (a max_len of 0), a string longer than this is not written: the file is
// reported as unreadable instead, so no page can exhaust the memory.
inline constexpr std::size_t kLongestUncutValue = 16 << 20;

// Reads the file once, recognises it by the request's sniff (the plugin's rule by default)
// and computes the wanted rows from that one DocumentText. The broken-link row is always
// computed, for has_broken_link, with its targets looked up in `targets`; the same walk
// finds every missing target when the request asks. Never throws: a failure makes the file
// unreadable, with its reason.
FileReport InspectFile(const WalkedFile& file, const InspectRequest& request,
                       const TextDelivery& delivery, TargetCache& targets);

}  // namespace pagefields::cli
