#include "cli/progress.h"

namespace pagefields::cli {
namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

}  // namespace

std::string SummaryLine(const RunCounts& counts, double seconds) {
  // "1 file", "2 files", "0 files": the noun agrees with its count.
  const auto counted = [](std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
  };
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.2f s", seconds);
  return "pagefields: " + counted(counts.considered, "file", "files") + " considered, " +
         counted(counts.pages, "HTML page", "HTML pages") + ", " + std::to_string(counts.not_html) +
         " not HTML, " + std::to_string(counts.unreadable) + " unreadable, " +
         counted(counts.broken, "page", "pages") + " with a missing internal link, " + elapsed;
}

ProgressLine::ProgressLine(bool enabled, std::size_t total, std::FILE* terminal)
    : enabled_(enabled), total_(total), terminal_(terminal), start_(Clock::now()) {}

void ProgressLine::Update(std::size_t done, std::size_t pages) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < kQuietStart || now - last_drawn_ < kRedrawEvery) return;
  last_drawn_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(terminal_, "\r\x1b[K%zu of %zu files, %.0f pages/s", done, total_,
               static_cast<double>(pages) / seconds);
  std::fflush(terminal_);
  shown_ = true;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  std::fputs("\r\x1b[K", terminal_);
  std::fflush(terminal_);
  shown_ = false;
}

}  // namespace pagefields::cli
