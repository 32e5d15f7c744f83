#pragma once

#include <cstddef>
#include <string>

#include "cli/folder_walk.h"
#include "cli/target_cache.h"
#include "plugin/delivery.h"
#include "plugin/field_values.h"

namespace pagefields::cli {

enum class FileOutcome { kPage, kNotHtml, kUnreadable };

// What one file gave.
struct FileReport {
  FileOutcome outcome = FileOutcome::kUnreadable;
  std::string reason;  // why the file gave no page
  // The wanted rows as a host buffer of max_len bytes receives them: numbers, and the
  // delivered text of string rows (DeliveredText: entities decoded, in the encoding of the
  // delivery, cut at a NUL and to max_len - 1).
  FieldValues values{};
  bool has_broken_link = false;  // the page links to a missing internal file
};

// Without a cut (a max_len of 0), a string longer than this is not written: the file is
// reported as unreadable instead, so no page can exhaust the memory.
inline constexpr std::size_t kLongestUncutValue = 16 << 20;

// Reads the file once, recognises it as the plugin does and computes the `wanted`
// rows from that one DocumentText. The broken-link row is always computed, for
// has_broken_link, with its targets looked up in `targets`. Never throws: a failure makes
// the file unreadable, with its reason.
FileReport InspectFile(const WalkedFile& file, FieldSet wanted, int max_len,
                       const TextDelivery& delivery, TargetCache& targets);

}  // namespace pagefields::cli
