// pagefields: the plugin's eighteen fields for every HTML page of whole folders, as a table,
// tsv, csv, jsonl or an html report, for people who audit sites from the shell and in CI.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/code_page.h"
#include "cli/folder_walk.h"
#include "cli/html_report.h"
#include "cli/inspect_file.h"
#include "cli/line_escape.h"
#include "cli/link_writer.h"
#include "cli/options.h"
#include "cli/ordered_runner.h"
#include "cli/output_format.h"
#include "cli/progress.h"
#include "cli/site_summary.h"
#include "cli/stop_signals.h"
#include "cli/target_cache.h"

namespace pagefields::cli {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitBrokenLinks = 1;
constexpr int kExitMissingPath = 3;
constexpr int kExitFailed = 4;        // the output could not be written, or the run broke off
constexpr int kExitUnreadable = 5;    // some file or folder could not be read
constexpr int kExitSignalBase = 128;  // + the signal that stopped the run: 130, 143

constexpr std::size_t kOutputBuffer = 1 << 16;

// The rows a site summary reads.
constexpr FieldSet kSummaryRows{Field::kTitle, Field::kDescription, Field::kH1, Field::kNoindex};

// Whether `path` ends in .htm or .html, in any letter case: a name that says it is a page.
bool IsHtmName(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return false;
  std::string extension(path.substr(dot + 1));
  for (char& byte : extension)
    byte = static_cast<char>(std::tolower(static_cast<unsigned char>(byte)));
  return extension == "htm" || extension == "html";
}

// Whether a run skipped enough .htm/.html files for want of the plugin's marker to say so:
// ten of them, or any when they outnumber the pages found.
bool ManyHtmFilesSkipped(const RunCounts& counts) {
  return counts.not_html_htm >= 10 ||
         (counts.not_html_htm > 0 && counts.not_html_htm >= counts.pages);
}

// Control bytes in a path are escaped, so that a name cannot break or fake a message line;
// so are those of the reason, which may quote the path.
void Report(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "pagefields: %s: %s\n", EscapeForLine(path).c_str(),
               EscapeForLine(reason).c_str());
}

// Names on standard error what the walk could not use; folders that could not be listed
// count as unreadable.
void ReportWalkProblems(const WalkResult& walk, RunCounts& counts) {
  for (const std::string& path : walk.missing) Report(path, "no such file or folder");
  for (const WalkProblem& problem : walk.dangling) Report(problem.path, problem.reason);
  for (const WalkProblem& problem : walk.unlisted) {
    Report(problem.path, "cannot list the folder: " + problem.reason);
    ++counts.unreadable;
  }
  for (const WalkProblem& problem : walk.not_followed) {
    Report(problem.path, "not followed: " + problem.reason);
  }
}

int Run(const Options& options) {
  const auto started = std::chrono::steady_clock::now();
  const TextForm form =
      MakeTextForm(options.raw, options.code_page ? &*options.code_page : nullptr);

  // Before any other thread starts, so that every thread leaves the two signals to it.
  const StopSignals stop;
  RunCounts counts;
  const WalkResult walk =
      CollectFiles(options.paths, options.all_files, [&stop] { return stop.received() != 0; });
  ReportWalkProblems(walk, counts);

  // Lines go out in large writes, unless a person reads them as they come.
  if (::isatty(STDOUT_FILENO) == 0) std::setvbuf(stdout, nullptr, _IOFBF, kOutputBuffer);

  InspectRequest request;
  for (const Field row : options.columns) request.wanted.Add(row);
  request.max_len = options.max_len;
  request.sniff = options.sniff;
  request.count_missing = options.summary;
  request.list_missing = options.broken_links;
  std::optional<SiteSummary> summary;
  if (options.summary) {
    summary.emplace(options.title_max, options.description_max);
    request.wanted.AddAll(kSummaryRows);
  }
  // One line per page, or with --broken-links one per missing link.
  std::unique_ptr<PageWriter> page_writer;
  std::unique_ptr<LinkWriter> link_writer;
  if (options.broken_links) {
    link_writer = MakeLinkWriter(options.format, form, stdout);
  } else {
    page_writer = options.format == OutputFormat::kHtml
                      ? MakeHtmlWriter(options.columns, form, stdout, &*summary)
                      : MakePageWriter(options.format, options.columns, form, stdout);
  }
  ProgressLine progress(!options.quiet && ::isatty(STDERR_FILENO) != 0, walk.files.size(), stderr);

  // One cache per worker; the folders the walk listed need not be listed again.
  std::vector<TargetCache> targets;
  for (int worker = 0; worker < options.jobs; ++worker) targets.emplace_back(&walk.listings);
  int write_error = 0;
  RunInOrder<FileReport>(
      walk.files.size(), options.jobs,
      [&](std::size_t worker, std::size_t i) {
        return InspectFile(walk.files[i], request, form.values, targets[worker]);
      },
      [&](std::size_t i, FileReport report) {
        // Checked between lines, so the output ends with a whole one.
        if (stop.received() != 0) return false;
        ++counts.considered;
        if (report.outcome == FileOutcome::kPage) {
          ++counts.pages;
          if (report.has_broken_link) ++counts.broken;
          if (link_writer) {
            for (const FoundMissingLink& link : report.missing_links) {
              link_writer->Link(walk.files[i].path, link);
            }
          } else {
            page_writer->Page(walk.files[i].path, report.values);
          }
          if (summary) summary->AddPage(walk.files[i].path, report.values, report.missing_count);
          if (std::ferror(stdout) != 0) {
            write_error = errno;
            return false;
          }
        } else {
          ++(report.outcome == FileOutcome::kNotHtml ? counts.not_html : counts.unreadable);
          if (report.outcome == FileOutcome::kNotHtml && IsHtmName(walk.files[i].path)) {
            ++counts.not_html_htm;
          }
          progress.Clear();
          Report(walk.files[i].path, report.reason);
        }
        progress.Update(i + 1, counts.pages);
        return true;
      });
  // A table aligns the rows it holds only now; an interrupted run shows the rows so far.
  if (write_error == 0) {
    if (link_writer) link_writer->Finish();
    if (page_writer) page_writer->Finish();
    // The summary covers the pages written, also of an interrupted run.
    if (options.format == OutputFormat::kHtml) {
      // The report holds the summary.
    } else if (summary && options.format == OutputFormat::kJsonl) {
      summary->WriteJsonl(form, stdout);
    } else if (summary) {
      // After the lines of tsv and csv, an empty line sets it apart.
      if (options.format != OutputFormat::kTable) std::fputc('\n', stdout);
      summary->WriteTable(form, stdout);
    }
  }
  progress.Clear();

  if (write_error == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)) {
    write_error = errno;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // Taken once: a signal that comes after the last line changes neither message nor status.
  const int stopped_by = stop.received();
  if (stopped_by != 0) {
    std::fprintf(stderr, "pagefields: stopped by %s\n",
                 stopped_by == SIGINT ? "SIGINT" : "SIGTERM");
  }
  std::fprintf(stderr, "%s\n", SummaryLine(counts, seconds).c_str());
  if (options.sniff == PageSniff::kHtmlMarker && ManyHtmFilesSkipped(counts)) {
    std::fprintf(stderr,
                 "pagefields: %zu .htm/.html files have no <HTML> in their first 64 bytes; "
                 "--sniff page also reads pages that begin with <!DOCTYPE html> or <html ...>\n",
                 counts.not_html_htm);
  }

  if (write_error != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "pagefields: the output could not be written: %s\n",
                 write_error != 0 ? std::strerror(write_error) : "unknown error");
    return kExitFailed;
  }
  if (stopped_by != 0) return kExitSignalBase + stopped_by;
  if (!walk.missing.empty() || !walk.dangling.empty()) return kExitMissingPath;
  if (counts.unreadable > 0) return kExitUnreadable;
  if (options.fail_on_broken && counts.broken > 0) return kExitBrokenLinks;
  return kExitSuccess;
}

}  // namespace
}  // namespace pagefields::cli

int main(int argc, char** argv) {
  using namespace pagefields::cli;
  try {
    const Environment environment{::isatty(STDOUT_FILENO) != 0,
                                  std::thread::hardware_concurrency()};
    auto parsed = ParseArguments(argc, argv, environment);
    if (const int* exit_code = std::get_if<int>(&parsed)) return *exit_code;
    return Run(std::get<Options>(parsed));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "pagefields: %s\n", error.what());
    return kExitFailed;
  }
}
