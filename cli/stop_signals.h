#pragma once

#include <signal.h>

#include <atomic>
#include <thread>

namespace pagefields::cli {

// SIGINT and SIGTERM turned into a request to stop: while an object lives, the two signals
// are blocked in the thread that made it and in every thread started after it, and a thread
// of its own waits for them. The run asks `received()` between output lines, so an
// interrupted run still ends with whole lines, a cleared progress line and its summary.
// Make it before starting any other thread. The signals stay blocked after it is gone, as
// the program is about to exit then.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The first of the two signals that arrived, or 0.
  int received() const { return received_.load(); }

 private:
  void Watch();

  sigset_t signals_{};
  std::atomic<int> received_{0};
  std::atomic<bool> finished_{false};
  std::thread watcher_;
};

}  // namespace pagefields::cli
