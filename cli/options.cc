#include "cli/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <limits>
#include <map>
#include <string_view>
#include <system_error>

#include "cli/code_page.h"
#include "plugin/field_table.h"

namespace pagefields::cli {
namespace {

constexpr int kExitUsage = 2;
constexpr int kMaxJobs = 256;

std::string FieldNameList() {
  std::string names;
  for (const FieldRow& row : FieldTable) {
    if (!names.empty()) names += ", ";
    names += row.name;
  }
  return names;
}

// The FieldTable rows named in the comma-separated `names`, in their order, each once.
// Throws CLI::ValidationError for a name that is not a field's exact name.
std::vector<Field> ColumnsNamed(std::string_view names) {
  std::vector<Field> columns;
  for (std::size_t start = 0; start <= names.size();) {
    std::size_t comma = names.find(',', start);
    if (comma == std::string_view::npos) comma = names.size();
    const std::string_view name = names.substr(start, comma - start);
    start = comma + 1;
    const auto row = std::find_if(FieldTable.begin(), FieldTable.end(),
                                  [&](const FieldRow& field) { return field.name == name; });
    if (row == FieldTable.end()) {
      throw CLI::ValidationError("--fields", "no field named '" + std::string(name) +
                                                 "'; the fields are: " + FieldNameList());
    }
    if (std::find(columns.begin(), columns.end(), row->field) == columns.end()) {
      columns.push_back(row->field);
    }
  }
  return columns;
}

// --max-len's check: a buffer holds N-1 bytes and a NUL, so N is at least 1. Text that is no
// number is left to the conversion, which says so.
CLI::Validator AtLeastOne() {
  return CLI::Validator(
      [](const std::string& text) -> std::string {
        long long value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || value >= 1) return {};
        return "must be at least 1: a host buffer of N bytes holds N-1 bytes and a NUL "
               "(--no-cut writes strings whole)";
      },
      "", "AtLeastOne");
}

constexpr const char* kFooter =
    R"(Output: one line per HTML page, in sorted path order. table is aligned for
reading (the default on a terminal); tsv has one header line of the field names (the
default otherwise); csv quotes as RFC 4180; jsonl writes one JSON object per page; html
writes one report for a browser, summary on top, in a table that sorts and filters. Text
is written in UTF-8, except with --raw in tsv. With --codepage auto, a value that is UTF-8
is kept and any other is decoded from Windows-1251, as the plugin delivers it on Linux.
Paths are shown the same way; jsonl adds "File_bytes", the exact bytes of a path that
is not UTF-8 in hexadecimal. Backslashes and control bytes are written as \\, \t, \n,
\r or \xHH, so one page is always one line.

Pages that are not HTML (no "<HTML>" in their first 64 bytes; with --sniff page also
no <html ...> with an attribute or <!DOCTYPE html> in the first 1024) and files that
cannot be read whole (a failed read, 2 GiB or more, out of memory) are reported on
standard error with the reason and counted in the closing summary.

--broken-links writes the columns File, Link (as the page writes it), Probed (without
fragment and query; a page's first line holds its Brocken_A) and Path (the path asked).
--summary follows the pages as indented text (after an empty line in tsv and csv), or as
one JSON object per finding, keyed "Summary", in jsonl. Lengths are in characters of the
delivered text.

Exit status: 0 success; 1 with --fail-on-broken when a page links to a missing file;
2 usage error; 3 a named path does not exist; 4 the output could not be written (the run
stops at the first failed write); 5 a file or folder could not be read (also with
--fail-on-broken, so no gate passes a page it did not check); 130 or 143 stopped by
SIGINT or SIGTERM (the lines written are whole). Where several apply, the first in the
order 4, 130/143, 3, 5, 1 is the status.

Strings are cut at 65535 bytes by default (--max-len 65536): every realistic title,
description and noindex text is shown whole, and no page's markup can make a run slow or
exhaust the memory (20,000 nested noindex blocks hold gigabytes of noindex text).)";

}  // namespace

std::variant<Options, int> ParseArguments(int argc, char** argv, const Environment& environment) {
  Options options;
  options.format = environment.stdout_is_terminal ? OutputFormat::kTable : OutputFormat::kTsv;
  options.jobs = static_cast<int>(std::clamp<unsigned>(environment.cores, 1, kMaxJobs));

  CLI::App app(
      "Shows the title, meta tags, headings, link counts, first missing link, text\n"
      "size and noindex text of every HTML page in the given files and folders.",
      "pagefields");
  app.set_version_flag("--version", std::string("pagefields ") + PAGEFIELDS_VERSION);
  app.footer(kFooter);
  app.get_formatter()->column_width(26);

  app.add_option("PATH", options.paths,
                 "Files and folders; folders are searched recursively for .htm, .html,\n"
                 ".shtml and .xhtml files (any letter case)")
      ->required();

  const std::map<std::string, OutputFormat> formats = {{"table", OutputFormat::kTable},
                                                       {"tsv", OutputFormat::kTsv},
                                                       {"csv", OutputFormat::kCsv},
                                                       {"jsonl", OutputFormat::kJsonl},
                                                       {"html", OutputFormat::kHtml}};
  app.add_option("-f,--format", options.format,
                 "Output format: table, tsv, csv, jsonl or html (a report for a browser,\n"
                 "with the site summary on top)")
      ->transform(CLI::CheckedTransformer(formats))
      ->option_text("FORMAT");
  app.add_flag("--raw", options.raw, "With tsv: write the text bytes unconverted");

  std::string field_names;
  CLI::Option* fields =
      app.add_option("--fields", field_names,
                     "Comma-separated field names to show, in this order (default: all)")
          ->option_text("NAME,...");
  std::string code_page = "auto";
  app.add_option("--codepage", code_page,
                 "auto: keep UTF-8 text, decode other text from Windows-1251 (default);\n"
                 "or a single-byte code page iconv knows (1251, 1252, KOI8-R, CP866,\n"
                 "ISO-8859-5, ...) to decode every value from")
      ->check([](const std::string& name) {
        std::string error;
        if (name != "auto" && !OpenCodePage(name, error)) return error;
        return std::string();
      })
      ->option_text("NAME");
  CLI::Option* max_len =
      app.add_option("--max-len", options.max_len,
                     "Cut strings as a host buffer of N bytes does: at most N-1 bytes, never\n"
                     "half a character (default 65536, which shows every realistic title,\n"
                     "description and noindex text whole and bounds the memory a page of\n"
                     "any markup takes)")
          ->check(AtLeastOne())
          ->option_text("N");
  bool no_cut = false;
  app.add_flag("--no-cut", no_cut,
               "Write strings whole; a page with a string of more than 16 MiB is\n"
               "reported as unreadable instead")
      ->excludes(max_len);
  app.add_option("-j,--jobs", options.jobs, "Files read at the same time (default: the cores)")
      ->check(CLI::Range(1, kMaxJobs))
      ->option_text("N");
  app.add_flag("--all-files", options.all_files,
               "In folders, consider every file, not only .htm, .html, .shtml, .xhtml");
  app.add_flag("-q,--quiet", options.quiet, "No progress line");
  app.add_flag("--fail-on-broken", options.fail_on_broken,
               "Exit with 1 when some page links to a missing file");
  const std::map<std::string, PageSniff> sniffs = {{"plugin", PageSniff::kHtmlMarker},
                                                   {"page", PageSniff::kPageHead}};
  app.add_option("--sniff", options.sniff,
                 "plugin: a page has <HTML> in its first 64 bytes, as the plugin asks\n"
                 "(default); page: also <html ...> with an attribute or <!DOCTYPE html>\n"
                 "in its first 1024 bytes")
      ->transform(CLI::CheckedTransformer(sniffs))
      ->option_text("RULE");
  CLI::Option* broken_links =
      app.add_flag("--broken-links", options.broken_links,
                   "One line per internal link whose target is missing, in document order:\n"
                   "the page, the link, the part probed and the path asked");
  fields->excludes(broken_links);
  app.add_flag("--summary", options.summary,
               "After the pages, a site summary: empty titles, H1s and descriptions,\n"
               "shared titles and descriptions, long ones, missing links, noindex text");
  app.add_option("--title-max", options.title_max,
                 "The summary lists titles longer than N characters (default 60)")
      ->check(CLI::Range(1, std::numeric_limits<int>::max()))
      ->option_text("N");
  app.add_option("--description-max", options.description_max,
                 "The summary lists descriptions longer than N characters (default 160)")
      ->check(CLI::Range(1, std::numeric_limits<int>::max()))
      ->option_text("N");

  try {
    app.parse(argc, argv);
    if (no_cut) options.max_len = 0;
    if (options.raw && options.format != OutputFormat::kTsv) {
      throw CLI::ValidationError("--raw", "only tsv output can be raw");
    }
    if (options.broken_links && options.format == OutputFormat::kHtml) {
      throw CLI::ValidationError("--broken-links", "the html report lists pages, not links");
    }
    // The report always carries the summary.
    if (options.format == OutputFormat::kHtml) options.summary = true;
    if (code_page != "auto") {
      std::string error;
      options.code_page = OpenCodePage(code_page, error);
    }
    if (fields->count() == 0) {
      options.columns.assign(kAllFields.begin(), kAllFields.end());
    } else {
      options.columns = ColumnsNamed(field_names);
    }
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? 0 : kExitUsage;
  }
  return options;
}

}  // namespace pagefields::cli
