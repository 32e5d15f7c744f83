#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "cli/code_page.h"
#include "cli/inspect_file.h"
#include "cli/output_format.h"

namespace pagefields::cli {

// The columns of --broken-links, after File: the link as the page writes it, the part of it
// that was probed (the page's Brocken_A for its first missing link) and the path asked.
inline constexpr const char* kLinkColumns[] = {"Link", "Probed", "Path"};

// Writes one line per missing link, in the format's way: tsv and csv with a header line, jsonl
// one object per link, a table aligned once all are in. Paths are shown as `form` shows them;
// jsonl adds "File_bytes" and "Path_bytes" for paths that are not UTF-8.
class LinkWriter {
 public:
  virtual ~LinkWriter() = default;
  virtual void Link(const std::string& page, const FoundMissingLink& link) = 0;
  // Called once after the last link.
  virtual void Finish() {}
};

std::unique_ptr<LinkWriter> MakeLinkWriter(OutputFormat format, const TextForm& form,
                                           std::FILE* out);

}  // namespace pagefields::cli
