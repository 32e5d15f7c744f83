#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/output_format.h"
#include "plugin/document.h"
#include "text/utf8.h"

namespace pagefields::cli {

// The cut strings get unless --max-len or --no-cut says otherwise: a host buffer of 64 KiB,
// strings of up to 65535 bytes. That shows every realistic title, description and noindex
// text whole, and bounds what one page costs whatever its markup (20,000 nested noindex
// blocks make a noindex text of gigabytes).
inline constexpr int kDefaultMaxLen = 65536;

// The summary's limits, in characters: search results show about this much of a title and
// of a description before they cut it.
inline constexpr int kDefaultTitleMax = 60;
inline constexpr int kDefaultDescriptionMax = 160;

// What one run of the program was asked to do.
struct Options {
  std::vector<std::string> paths;
  OutputFormat format = OutputFormat::kTsv;
  bool raw = false;            // tsv only: text bytes as they are, no conversion to UTF-8
  std::vector<Field> columns;  // FieldTable rows to show, in the order given
  // The code page --codepage forces on every value; none for auto: UTF-8 is kept and
  // other text decoded from Windows-1251.
  std::optional<CodePageTable> code_page;
  int max_len = kDefaultMaxLen;  // host buffer size whose cut the values get; 0: no cut
  int jobs = 1;
  bool all_files = false;
  bool quiet = false;
  bool fail_on_broken = false;
  PageSniff sniff = PageSniff::kHtmlMarker;  // --sniff plugin (the default) or page
  bool broken_links = false;                 // one line per missing link instead of one per page
  bool summary = false;                      // a site summary after the pages
  int title_max = kDefaultTitleMax;
  int description_max = kDefaultDescriptionMax;
};

// What the program knows of its surroundings before it reads any file.
struct Environment {
  bool stdout_is_terminal = false;
  unsigned cores = 1;
};

// The options of the command line, or the exit code to end with at once: 0 after --help or
// --version, 2 after a usage error (its message already written to standard error).
std::variant<Options, int> ParseArguments(int argc, char** argv, const Environment& environment);

}  // namespace pagefields::cli
