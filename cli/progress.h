#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

namespace pagefields::cli {

// What a run met, for the closing summary.
struct RunCounts {
  std::size_t considered = 0;
  std::size_t pages = 0;
  std::size_t not_html = 0;
  std::size_t unreadable = 0;
  std::size_t broken = 0;        // pages with a missing internal link
  std::size_t not_html_htm = 0;  // of the files not HTML, those named .htm or .html
};

// The closing summary line, without its line break.
std::string SummaryLine(const RunCounts& counts, double seconds);

// A line on a terminal that shows how far a long run is: files done of all, pages per
// second. It appears only after the run has taken a second, is redrawn a few times a
// second, and is wiped before anything else is written to the same terminal.
class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;

  ProgressLine(bool enabled, std::size_t total, std::FILE* terminal);

  void Update(std::size_t done, std::size_t pages);
  void Clear();

 private:
  bool enabled_;
  std::size_t total_;
  std::FILE* terminal_;
  Clock::time_point start_;
  Clock::time_point last_drawn_{};
  bool shown_ = false;
};

}  // namespace pagefields::cli
