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

// Runs `work(i)` for every i below `count` on `jobs` threads and hands each result to
// `emit(i, result)` on the calling thread, strictly in the order of i, as soon as it and all
// before it are done. `work` must not throw; `emit` runs while the workers go on. With one
// job everything runs on the calling thread.
template <typename Result, typename Work, typename Emit>
void RunInOrder(std::size_t count, int jobs, Work work, Emit emit) {
  if (jobs <= 1 || count <= 1) {
    for (std::size_t i = 0; i < count; ++i) emit(i, work(i));
    return;
  }

  std::vector<std::optional<Result>> done(count);
  std::mutex lock;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};

  const auto worker = [&] {
    for (std::size_t i = next++; i < count; i = next++) {
      Result result = work(i);
      {
        const std::lock_guard<std::mutex> guard(lock);
        done[i] = std::move(result);
      }
      finished.notify_one();
    }
  };
  std::vector<std::jthread> workers;
  const std::size_t thread_count = std::min<std::size_t>(static_cast<std::size_t>(jobs), count);
  for (std::size_t t = 0; t < thread_count; ++t) workers.emplace_back(worker);

  for (std::size_t i = 0; i < count; ++i) {
    std::optional<Result> result;
    {
      std::unique_lock<std::mutex> guard(lock);
      finished.wait(guard, [&] { return done[i].has_value(); });
      result = std::move(done[i]);
      done[i].reset();
    }
    emit(i, std::move(*result));
  }
}

}  // namespace pagefields::cli
