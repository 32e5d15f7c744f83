#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "extract/file_probe.h"

namespace pagefields {

struct LinkCounts {
  std::int32_t WebCount = 0;
  std::int32_t MailCount = 0;
  std::int32_t InternalCount = 0;
};

// An internal link whose target is missing: the link value as it stands in the page, and the
// part of it that was probed (what `broken_link` receives for the first one). Both view the
// document's bytes.
struct MissingLink {
  std::string_view written;
  std::string_view probed;
};

// Hears of every missing target of a probing walk, in document order, one call per anchor
// occurrence; returns false to end the walk there.
using MissingLinkSink = std::function<bool(const MissingLink& link)>;

// Whether a scan probes internal links for a missing target (without `probe` it only counts),
// how it asks about targets, and whether it goes on counting after the first missing one (so
// one walk gives the counts and the broken link, as the two separate scans would). With
// `every_missing`, the walk goes on probing after the first missing target and hands each
// one, the first included, to it.
struct ProbeOptions {
  bool probe = false;
  TargetCheck exists = FileExistsNotDir;
  bool count_all = false;
  MissingLinkSink every_missing = nullptr;
};

// Reads the link value of every "<a" occurrence of `document` (any case, every occurrence
// from one byte after the previous, so an "<a" inside an earlier tag counts again) that has
// an "href=" in its tag text, and counts it as web ("http://" or "https://" anywhere, or a
// leading "//"), mail ("mailto:" anywhere) or internal, in that order of tests.
// The counts start from 0. With `options.probe` it stops at the first internal link whose local
// file, `folder` followed by the value without its fragment and query, is missing, and puts that
// cut value into `broken_link`. Links to the page itself and values with a URL scheme are not
// probed.
void ScanLinks(std::string_view folder, std::string_view document, LinkCounts& counts,
               std::string& broken_link, const ProbeOptions& options = {});

}  // namespace pagefields
