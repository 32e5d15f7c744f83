// Time of one ContentGetValue request through the loaded library against a bare open + read
// + close of the same file, for every field and every input family, with the buffers real
// hosts pass (MaxLen 2049 and 4096 on the realistic pages, 4096 on the hostile ones); each
// field's own work on the 8 MiB realistic page in memory, as throughput; the plain model on
// the 1 MiB hostile inputs; and the peak heap of one request. Prints a Markdown summary.
//
//   cmake --preset default && cmake --build --preset default && ./build/bench/pagefields_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bench/inputs.h"
#include "host/plugin_library.h"
#include "plugin/delivery.h"
#include "plugin/field_table.h"
#include "plugin/field_values.h"
#include "tests/model/plain_model.h"

namespace {

// Heap use of the whole process; the plugin's allocations come here too, since the program
// exports its operator new.
std::atomic<long long> heap_now{0};
std::atomic<long long> heap_peak{0};

void* Allocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  const long long now = heap_now += static_cast<long long>(malloc_usable_size(p));
  long long peak = heap_peak.load();
  while (now > peak && !heap_peak.compare_exchange_weak(peak, now)) {
  }
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  heap_now -= static_cast<long long>(malloc_usable_size(p));
  std::free(p);
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Release(p);
}

namespace pagefields::bench {
namespace {

// The buffers of real hosts: the smallest and the largest they pass.
constexpr int kSmallMaxLen = 2049;
constexpr int kMaxLen = 4096;
constexpr int kModelCapSeconds = 2;
// The fields the plain model is timed on, by the index a host asks with.
constexpr int kModelFields[] = {
    static_cast<int>(Field::kTitle),    static_cast<int>(Field::kDescription),
    static_cast<int>(Field::kKeywords), static_cast<int>(Field::kH1),
    static_cast<int>(Field::kLinks),    static_cast<int>(Field::kBrokenLink),
    static_cast<int>(Field::kTextSize), static_cast<int>(Field::kNoindex),
};

struct File {
  Input input;
  std::string path;
};

const PluginLibrary& Plugin() {
  static const PluginLibrary plugin([] {
    const char* chosen = std::getenv("PAGEFIELDS_PLUGIN");
    return std::string(chosen != nullptr ? chosen : PAGEFIELDS_PLUGIN_PATH);
  }());
  return plugin;
}

void BareRead(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const off_t size = ::lseek(fd, 0, SEEK_END);
  ::lseek(fd, 0, SEEK_SET);
  const std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(size)]);
  const ssize_t got = ::read(fd, buffer.get(), static_cast<std::size_t>(size));
  ::close(fd);
  benchmark::DoNotOptimize(got);
  benchmark::DoNotOptimize(buffer.get()[0]);
}

int Request(const std::string& path, int field, char* buffer, int max_len = kMaxLen) {
  return Plugin().get_value(path.c_str(), field, 0, buffer, max_len, 0);
}

// Keeps the wall time of every run by name; with --benchmark_repetitions each name has
// several, and the summary takes their median, which one disturbed run does not move.
class Collector : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate) continue;
      seconds[run.run_name.function_name].push_back(run.GetAdjustedRealTime() * 1e-9);  // in ns
    }
  }

  // The median time of the runs of `name`, or 0 when it did not run.
  double Median(const std::string& name) const {
    const auto it = seconds.find(name);
    if (it == seconds.end() || it->second.empty()) return 0.0;
    std::vector<double> times = it->second;
    const auto middle = times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2);
    std::nth_element(times.begin(), middle, times.end());
    if (times.size() % 2 == 1) return *middle;
    return (*middle + *std::max_element(times.begin(), middle)) / 2;
  }

 private:
  std::map<std::string, std::vector<double>> seconds;
};

std::string RequestName(const File& f, int field, int max_len = kMaxLen) {
  return "request/" + f.input.family + "/" + f.input.size_label + "/" + std::to_string(field) +
         "/" + std::to_string(max_len);
}
std::string InMemoryName(int field) {
  return "memory/realistic/8M/" + std::to_string(field);
}
std::string BareName(const File& f) {
  return "bare/" + f.input.family + "/" + f.input.size_label;
}

long long PeakHeap(const std::string& path, int field) {
  char buffer[kMaxLen];
  const long long before = heap_now.load();
  heap_peak = before;
  Request(path, field, buffer);
  return heap_peak.load() - before;
}

// The plain model's time for one field, in a child process that the cap ends; -1 past it.
double ModelSeconds(const std::string& bytes, int field) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::alarm(kModelCapSeconds);
    const auto start = std::chrono::steady_clock::now();
    const auto answer =
        model::ModelGetValue(bytes, "/nonexistent/", field, kMaxLen,
                             [](const std::string&) { return model::kQueryFailed; });
    benchmark::DoNotOptimize(answer);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (::write(pipe_ends[1], &seconds, sizeof seconds) != sizeof seconds) _exit(1);
    _exit(0);
  }
  ::close(pipe_ends[1]);
  double seconds = -1;
  if (::read(pipe_ends[0], &seconds, sizeof seconds) != sizeof seconds) seconds = -1;
  ::close(pipe_ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return seconds;
}

std::string Ms(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds * 1e3);
  return text;
}

std::string Fixed(double value, const char* format = "%.2f") {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

void PrintSummary(const std::vector<File>& files, const Collector& results) {
  const auto time = [&](const std::string& name) { return results.Median(name); };
  const File& hundred = files[0];
  const File& eight_mib = files[1];
  const auto gb_per_s = [&](const File& f, double seconds) {
    return Fixed(static_cast<double>(f.input.bytes.size()) / seconds * 1e-9, "%.1f");
  };
  std::printf("\n### Realistic pages: request / bare read, per field\n\n");
  std::printf(
      "| Field | 100 KB ms | ratio, MaxLen %d | ratio, MaxLen %d | 8 MiB ms | ratio, MaxLen %d | "
      "ratio, MaxLen %d | own work on 8 MiB: ms, GB/s |\n|---|---|---|---|---|---|---|---|\n",
      kSmallMaxLen, kMaxLen, kSmallMaxLen, kMaxLen);
  for (int field = 0; field < kFieldCount; ++field) {
    std::printf("| %s |", std::string(FieldTable[field].name).c_str());
    for (const File* f : {&hundred, &eight_mib}) {
      const double bare = time(BareName(*f));
      std::printf(" %s | %s | %s |", Ms(time(RequestName(*f, field))).c_str(),
                  Fixed(time(RequestName(*f, field, kSmallMaxLen)) / bare).c_str(),
                  Fixed(time(RequestName(*f, field)) / bare).c_str());
    }
    const double own = time(InMemoryName(field));
    std::printf(" %s, %s |\n", Ms(own).c_str(), gb_per_s(eight_mib, own).c_str());
  }
  std::printf("\nBare read: 100 KB %s ms, 8 MiB %s ms (%s GB/s).\n",
              Ms(time(BareName(hundred))).c_str(), Ms(time(BareName(eight_mib))).c_str(),
              gb_per_s(eight_mib, time(BareName(eight_mib))).c_str());

  std::printf("\n### Hostile families (worst field of each)\n\n");
  std::printf(
      "| Family | bare 1 MiB ms | worst request 1 MiB ms | bare 8 MiB ms | worst request 8 MiB ms "
      "| worst ratio (any size) | worst growth 1->8 MiB | bare read growth | peak heap / limit at "
      "8 MiB | plain model 1 MiB, slowest field |\n|---|---|---|---|---|---|---|---|---|---|\n");
  for (std::size_t i = 2; i < files.size(); i += 4) {
    const File& one = files[i];
    const File& eight = files[i + 3];
    double worst_ratio = 0;
    int worst_ratio_field = 0;
    std::string worst_ratio_size;
    double worst_growth = 0;
    int worst_growth_field = 0;
    double worst_one = 0;
    double worst_eight = 0;
    for (int field = 0; field < kFieldCount; ++field) {
      for (std::size_t k = i; k < i + 4; ++k) {
        const double ratio = time(RequestName(files[k], field)) / time(BareName(files[k]));
        if (ratio > worst_ratio) {
          worst_ratio = ratio;
          worst_ratio_field = field;
          worst_ratio_size = files[k].input.size_label;
        }
      }
      const double growth = time(RequestName(eight, field)) / time(RequestName(one, field));
      if (growth > worst_growth) {
        worst_growth = growth;
        worst_growth_field = field;
      }
      worst_one = std::max(worst_one, time(RequestName(one, field)));
      worst_eight = std::max(worst_eight, time(RequestName(eight, field)));
    }
    long long worst_heap = 0;
    for (int field = 0; field < kFieldCount; ++field) {
      worst_heap = std::max(worst_heap, PeakHeap(eight.path, field));
    }
    const double limit =
        2.0 * static_cast<double>(eight.input.bytes.size()) + 2 * kMaxLen + (1 << 20);
    double model_worst = 0;
    int model_field = 0;
    bool capped = false;
    for (const int field : kModelFields) {
      const double seconds = ModelSeconds(one.input.bytes, field);
      if (seconds < 0) {
        capped = true;
        model_field = field;
        break;
      }
      if (seconds > model_worst) {
        model_worst = seconds;
        model_field = field;
      }
    }
    const std::string model_text =
        capped ? "> " + std::to_string(kModelCapSeconds) + " s (cap), " +
                     std::string(FieldTable[model_field].name)
               : Ms(model_worst) + " ms, " + std::string(FieldTable[model_field].name);
    std::printf("| %s | %s | %s | %s | %s | %s (%s, %s) | %s (%s) | %s | %s |  %s |\n",
                one.input.family.c_str(), Ms(time(BareName(one))).c_str(), Ms(worst_one).c_str(),
                Ms(time(BareName(eight))).c_str(), Ms(worst_eight).c_str(),
                Fixed(worst_ratio).c_str(), std::string(FieldTable[worst_ratio_field].name).c_str(),
                worst_ratio_size.c_str(), Fixed(worst_growth).c_str(),
                std::string(FieldTable[worst_growth_field].name).c_str(),
                Fixed(time(BareName(eight)) / time(BareName(one))).c_str(),
                Fixed(static_cast<double>(worst_heap) / limit).c_str(), model_text.c_str());
  }
  long long realistic_heap = 0;
  for (int field = 0; field < kFieldCount; ++field) {
    realistic_heap = std::max(realistic_heap, PeakHeap(files[1].path, field));
  }
  std::printf(
      "\nPeak heap of one request on the 8 MiB realistic page: %.1f MiB (limit %.1f MiB).\n",
      static_cast<double>(realistic_heap) / (1 << 20),
      (2.0 * static_cast<double>(files[1].input.bytes.size()) + 2 * kMaxLen + (1 << 20)) /
          (1 << 20));
}

}  // namespace
}  // namespace pagefields::bench

int main(int argc, char** argv) {
  using namespace pagefields::bench;
  if (!Plugin().error().empty()) {
    std::fprintf(stderr, "%s\n", Plugin().error().c_str());
    return 1;
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("pagefields-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::vector<File> files;
  for (Input& input : MakeInputs()) {
    const std::string path = (folder / (input.family + "-" + input.size_label + ".htm")).string();
    std::ofstream(path, std::ios::binary) << input.bytes;
    files.push_back({std::move(input), path});
  }

  for (const File& f : files) {
    benchmark::RegisterBenchmark(BareName(f).c_str(),
                                 [&f](benchmark::State& state) {
                                   for (auto _ : state) BareRead(f.path);
                                 })
        ->MinTime(0.05)
        ->UseRealTime();
    for (int field = 0; field < pagefields::kFieldCount; ++field) {
      for (const int max_len : {kSmallMaxLen, kMaxLen}) {
        if (f.input.hostile && max_len != kMaxLen) continue;
        benchmark::RegisterBenchmark(
            RequestName(f, field, max_len).c_str(),
            [&f, field, max_len](benchmark::State& state) {
              char buffer[kMaxLen];
              for (auto _ : state)
                benchmark::DoNotOptimize(Request(f.path, field, buffer, max_len));
            })
            ->MinTime(0.05)
            ->UseRealTime();
      }
    }
  }
  // Each field's own work on the page in memory, as a request with the largest host buffer
  // does it, without the file and the copy into the buffer.
  const File& eight_mib = files[1];
  const std::string folder_text = folder.string() + "/";
  for (int field = 0; field < pagefields::kFieldCount; ++field) {
    benchmark::RegisterBenchmark(
        InMemoryName(field).c_str(),
        [&eight_mib, &folder_text, field](benchmark::State& state) {
          const pagefields::FieldSet wanted{static_cast<pagefields::Field>(field)};
          for (auto _ : state) {
            benchmark::DoNotOptimize(pagefields::ComputeFieldsForBuffer(
                eight_mib.input.bytes, folder_text, wanted, kMaxLen, pagefields::kHostDelivery));
          }
        })
        ->MinTime(0.05)
        ->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  PrintSummary(files, collector);
  std::filesystem::remove_all(folder);
  return 0;
}
