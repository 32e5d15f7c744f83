#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "extract/file_probe.h"

namespace pagefields {

struct LinkCounts {
  std::int32_t WebCount = 0;
  std::int32_t MailCount = 0;
  // -1 on entry asks ScanLinks for the broken-link probe; it counts from 0 in both modes.
  std::int32_t InternalCount = 0;
};

inline constexpr std::int32_t kProbeBrokenLinks = -1;

// How a probe-mode scan asks about targets, and whether it goes on counting after the first
// missing one (so one walk gives the counts and the broken link, as the two separate scans
// would).
struct ProbeOptions {
  TargetCheck exists = FileExistsNotDir;
  bool count_all = false;
};

// Reads the link value of every "<a" occurrence of `document` (any case, every occurrence
// from one byte after the previous, so an "<a" inside an earlier tag counts again) that has
// an "href=" in its tag text, and counts it as web ("http://" or "https://" anywhere, or a
// leading "//"), mail ("mailto:" anywhere) or internal, in that order of tests.
// In probe mode it stops at the first internal link whose local file, `folder` followed by
// the value without its fragment and query, is missing, and puts that cut value into
// `broken_link`. Links to the page itself and values with a URL scheme are not probed.
void ScanLinks(std::string_view folder, std::string_view document, LinkCounts& counts,
               std::string& broken_link, const ProbeOptions& options = {});

}  // namespace pagefields
