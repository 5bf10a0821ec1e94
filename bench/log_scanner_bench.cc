// Scanner throughput on a 10 MB script output file of 100,000 records, against two baselines
// measured in the same run: a memchr pass for line ends over the bytes already in memory, and
// the same pass over the file read with read() (the least any scanner of the file must do).
//
// Times are CPU times of the running thread (best iteration for the ratio).
// Counters: bytes_per_second (MB/s in the table), x_memchr (scan time / in-memory memchr time),
// x_read_memchr (scan time / read()-and-memchr time),
// heap_peak_x (peak heap bytes during one scan / file size), rss_delta_MB (growth of the
// process's maximum resident set during the benchmark; coarse, 0 once an earlier benchmark
// reached a higher mark).
// BM_ScanInMemory runs first and pays glibc's heap growth and trimming (page faults) on
// every iteration; later benchmarks run after a 10 MB block raised the allocator's
// thresholds. Compare it with care.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "log/result_messages.h"
#include "log/log_scanner.h"
#include "log/utility_logger.h"
#include "script_output.h"

// Heap accounting for the peak-memory figure: every operator new/delete of the program.
namespace {
std::atomic<long long> g_heapNow{0};
std::atomic<long long> g_heapPeak{0};

void noteAlloc(void* p) {
  if (p == nullptr) return;
  const long long now = g_heapNow += static_cast<long long>(malloc_usable_size(p));
  long long peak = g_heapPeak.load();
  while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
  }
}
void noteFree(void* p) {
  if (p != nullptr) g_heapNow -= static_cast<long long>(malloc_usable_size(p));
}
}  // namespace

void* countedAlloc(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  noteAlloc(p);
  return p;
}
void countedFree(void* p) noexcept {
  noteFree(p);
  std::free(p);
}

void* operator new(std::size_t size) { return countedAlloc(size); }
void* operator new[](std::size_t size) { return countedAlloc(size); }
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete[](void* p) noexcept { countedFree(p); }
void operator delete(void* p, std::size_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { countedFree(p); }

namespace {

// CPU time of this thread: the machine may be shared, and wall time would count the waits.
double threadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

constexpr int kRecords = 100000;  // about 10 MB

// The generated file, written once into a private temporary directory and removed at exit.
struct Fixture {
  std::string dir;
  std::string path;
  std::string content;
  double memchrSeconds = 0;
  double readMemchrSeconds = 0;

  Fixture() {
    char templ[] = "/tmp/zarezodud-bench-XXXXXX";
    if (mkdtemp(templ) == nullptr) std::abort();
    dir = templ;
    path = dir + "/tempOutputFile.txt";
    content = zbench::makeScriptOutput(kRecords);
    std::ofstream(path, std::ios::binary) << content;
    // The utility log (where read failures would go) stays inside the temporary directory.
    UtilityLogger::SetLogFileName((dir + "/Utility.log").c_str());
    memchrSeconds = bestOf(7, [this] { benchmark::DoNotOptimize(countLines()); });
    readMemchrSeconds = bestOf(7, [this] { benchmark::DoNotOptimize(readAndCountLines()); });
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  std::size_t countLines() const {
    std::size_t lines = 0;
    const char* p = content.data();
    const char* end = p + content.size();
    while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) !=
           nullptr) {
      ++lines;
      ++p;
    }
    return lines;
  }

  // The file read with read() in 64 KiB blocks into one reused buffer, line ends counted with
  // memchr as the blocks arrive.
  std::size_t readAndCountLines() const {
    static char block[65536];
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::abort();
    std::size_t lines = 0;
    ssize_t got;
    while ((got = read(fd, block, sizeof block)) > 0) {
      const char* p = block;
      const char* end = block + got;
      while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) !=
             nullptr) {
        ++lines;
        ++p;
      }
    }
    close(fd);
    return lines;
  }

  template <class F>
  static double bestOf(int runs, F&& f) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
      const double t0 = threadSeconds();
      f();
      best = std::min(best, threadSeconds() - t0);
    }
    return best;
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

long maxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Runs body per iteration and fills the common counters.
template <class F>
void runScan(benchmark::State& state, F&& body) {
  Fixture& f = fixture();
  const long rssBefore = maxRssKb();
  long long peakOverBase = 0;
  double fastest = 1e9;
  for (auto _ : state) {
    const long long base = g_heapNow.load();
    g_heapPeak.store(base);
    const double t0 = threadSeconds();
    body(f);
    fastest = std::min(fastest, threadSeconds() - t0);
    peakOverBase = std::max(peakOverBase, g_heapPeak.load() - base);
  }
  const double size = static_cast<double>(f.content.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.content.size()));
  state.counters["x_memchr"] = fastest / f.memchrSeconds;
  state.counters["x_read_memchr"] = fastest / f.readMemchrSeconds;
  state.counters["heap_peak_x"] = static_cast<double>(peakOverBase) / size;
  state.counters["rss_delta_MB"] = static_cast<double>(maxRssKb() - rssBefore) / 1024.0;
  state.counters["file_MB"] = size / 1e6;
}

void BM_MemchrNewlines(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) benchmark::DoNotOptimize(f.countLines());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.content.size()));
  state.counters["lines"] = static_cast<double>(f.countLines());
}
BENCHMARK(BM_MemchrNewlines)->Unit(benchmark::kMillisecond);

void BM_ReadMemchrNewlines(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) benchmark::DoNotOptimize(f.readAndCountLines());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.content.size()));
}
BENCHMARK(BM_ReadMemchrNewlines)->Unit(benchmark::kMillisecond);

void BM_ScanInMemory(benchmark::State& state) {
  runScan(state, [](Fixture& f) {
    std::vector<LOGINFO> entries;
    zarezodud::scanScriptOutput(f.content, entries);
    benchmark::DoNotOptimize(entries.data());
  });
}
BENCHMARK(BM_ScanInMemory)->Unit(benchmark::kMillisecond);

// The same scan applying the Boost-compiled expressions directly, for comparison.
void BM_ScanInMemoryBoostEngine(benchmark::State& state) {
  runScan(state, [](Fixture& f) {
    std::vector<LOGINFO> entries;
    zarezodud::scanScriptOutput(f.content, entries, zarezodud::MatchEngine::kRegex);
    benchmark::DoNotOptimize(entries.data());
  });
}
BENCHMARK(BM_ScanInMemoryBoostEngine)->Unit(benchmark::kMillisecond);

void BM_GetErrorListS(benchmark::State& state) {
  std::size_t count = 0;
  runScan(state, [&count](Fixture& f) {
    std::vector<LOGINFO> entries;
    UtilityLogger::GetErrorListS(f.path, entries);
    count = entries.size();
  });
  state.counters["entries"] = static_cast<double>(count);
}
BENCHMARK(BM_GetErrorListS)->Unit(benchmark::kMillisecond);

void BM_GetXMLMsgFromFile(benchmark::State& state) {
  std::size_t messages = 0;
  runScan(state, [&messages](Fixture& f) {
    RKZARezodud::Script script;
    UtilityLogger::GetXMLMsgFromFile(f.path, script);
    messages = script.errors().size();
  });
  state.counters["messages"] = static_cast<double>(messages);
}
BENCHMARK(BM_GetXMLMsgFromFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
