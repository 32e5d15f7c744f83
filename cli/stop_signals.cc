#include "cli/stop_signals.h"

#include <pthread.h>

namespace pagefields::cli {

StopSignals::StopSignals() {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
  watcher_ = std::thread([this] { Watch(); });
}

StopSignals::~StopSignals() {
  // The watcher takes this SIGTERM as its cue to end, not as a request to stop.
  finished_ = true;
  pthread_kill(watcher_.native_handle(), SIGTERM);
  watcher_.join();
}

void StopSignals::Watch() {
  for (;;) {
    int signal = 0;
    if (sigwait(&signals_, &signal) != 0) continue;
    if (finished_) return;
    int none = 0;
    received_.compare_exchange_strong(none, signal);
  }
}

}  // namespace pagefields::cli
