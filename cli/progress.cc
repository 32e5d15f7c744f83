#include "cli/progress.h"

namespace pagefields::cli {
namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

}  // namespace

std::string SummaryLine(const RunCounts& counts, double seconds) {
  char line[256];
  std::snprintf(line, sizeof line,
                "pagefields: %zu files considered, %zu HTML pages, %zu not HTML, %zu unreadable, "
                "%zu pages with a missing internal link, %.2f s",
                counts.considered, counts.pages, counts.not_html, counts.unreadable, counts.broken,
                seconds);
  return line;
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
