#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pagefields::cli {

// Runs `work(worker, i)` for every i below `count` on `jobs` workers and hands each result to
// `emit(i, result)` on the calling thread, strictly in the order of i. The calling thread is
// worker 0: it works whenever the next result in order is not ready yet, so `jobs` threads
// in all are busy and none waits to be woken per result. Workers are numbered below `jobs`,
// and each runs one item at a time, so `worker` may pick state of its own. `work` must not
// throw. When `emit` returns false the run stops: no further item is started or emitted, and
// the items already started are finished before this returns.
template <typename Result, typename Work, typename Emit>
void RunInOrder(std::size_t count, int jobs, Work work, Emit emit) {
  const std::size_t helpers =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)) - 1, count);
  std::vector<std::optional<Result>> done(count);
  std::mutex lock;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};

  const auto store = [&](std::size_t i, Result result) {
    {
      const std::lock_guard<std::mutex> guard(lock);
      done[i] = std::move(result);
    }
    finished.notify_one();
  };
  std::vector<std::jthread> threads;
  for (std::size_t worker = 1; worker <= helpers; ++worker) {
    threads.emplace_back([&, worker] {
      for (std::size_t i = next++; i < count; i = next++) store(i, work(worker, i));
    });
  }

  for (std::size_t emitted = 0; emitted < count;) {
    std::optional<Result> result;
    {
      std::unique_lock<std::mutex> guard(lock);
      if (!done[emitted].has_value()) {
        const std::size_t own = next++;
        if (own < count) {
          guard.unlock();
          Result mine = work(0, own);
          guard.lock();
          done[own] = std::move(mine);
          continue;
        }
        finished.wait(guard, [&] { return done[emitted].has_value(); });
      }
      result = std::move(done[emitted]);
      done[emitted].reset();
    }
    if (!emit(emitted, std::move(*result))) {
      next = count;
      return;
    }
    ++emitted;
  }
}

}  // namespace pagefields::cli
