#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/code_page.h"
#include "plugin/field_values.h"

namespace pagefields::cli {

// A title or description as the summary keeps it: the start that it shows, and what tells it
// from another text without keeping it whole.
struct SummaryText {
  std::string shown;           // at most kShownBytes, cut between characters
  std::size_t bytes = 0;       // of the whole delivered text
  std::size_t characters = 0;  // of the whole delivered text
  std::size_t hash = 0;        // of the whole delivered text
  bool blank = true;           // empty, or only blank bytes (32 and below)

  // Shown, with "…" when it is not the whole text.
  std::string Display() const;
};

// The bytes of a title or description the summary shows. Grouping compares the whole texts by
// their length, their hash and this start, so no page's text is kept whole.
inline constexpr std::size_t kShownBytes = 1024;

// Characters of a delivered text: UTF-8 characters when it is UTF-8, else bytes (a
// single-byte code page, as --raw delivers it).
std::size_t CharacterCount(std::string_view text);

// What a site summary is told of each page and what it finds: pages with an empty (or blank)
// title, H1 or description; titles and descriptions that several pages share; those longer
// than the limits; pages with missing links; pages with noindex text. Pages are added in
// output order and listed in it.
class SiteSummary {
 public:
  SiteSummary(int title_max, int description_max)
      : title_max_(title_max), description_max_(description_max) {}

  // `values` holds the delivered Title, Description, H1 and Noindex rows; `missing_links`
  // is the number of the page's internal links whose target is missing.
  void AddPage(const std::string& path, const FieldValues& values, int missing_links);

  // For people: a heading per finding with its count, the pages indented below it.
  void WriteTable(const TextForm& form, std::FILE* out) const;
  // What WriteTable writes.
  std::string TableText(const TextForm& form) const;
  // For programs: one JSON object per finding, keyed "Summary"; every page as an object with
  // "File" (and "File_bytes" for a path that is not UTF-8).
  void WriteJsonl(const TextForm& form, std::FILE* out) const;

 private:
  struct Page {
    std::string path;
    SummaryText title;
    SummaryText description;
    bool empty_h1 = false;
    bool noindex = false;
    int missing_links = 0;
  };
  // Pages (indices into pages_) that share one text, in output order.
  using Group = std::vector<std::size_t>;

  std::vector<Group> SharedGroups(SummaryText Page::*text) const;
  // The missing links of all pages.
  std::size_t MissingLinks() const;

  int title_max_;
  int description_max_;
  std::vector<Page> pages_;
};

}  // namespace pagefields::cli
