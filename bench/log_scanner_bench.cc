// Scanner throughput on a 10 MB script output file of 100,000 records, against a memchr
// pass for line ends over the same bytes measured in the same run.
//
// Times are CPU times of the running thread (best iteration for the ratio).
// Counters: bytes_per_second (MB/s in the table), x_memchr (scan time / memchr time),
// heap_peak_x (peak heap bytes during one scan / file size), rss_delta_MB (growth of the
// process's maximum resident set during the benchmark; coarse, 0 once an earlier benchmark
// reached a higher mark).
// BM_ScanInMemory runs first and pays glibc's heap growth and trimming (page faults) on
// every iteration; later benchmarks run after a 10 MB block raised the allocator's
// thresholds. Compare it with care.
#include <benchmark/benchmark.h>
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

#include "engine/result_messages.h"
#include "log/log_scanner.h"
#include "log/utility_logger.h"

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

constexpr int kRecords = 100000;
constexpr std::size_t kTargetBytes = 10u * 1000u * 1000u;  // about; the figure is reported

// Small deterministic generator so every run scans the same file.
struct Lcg {
  unsigned long long state = 0x2545F4914F6CDD1Dull;
  unsigned next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<unsigned>(state >> 33);
  }
};

std::string stamp(int i) {
  char text[32];
  std::snprintf(text, sizeof text, "12/%02d/26 %02d:%02d:%02d ", 1 + i % 28, (i / 3600) % 24, (i / 60) % 60,
                i % 60);
  return text;
}

// A mix like an upgrade script's output: mostly server chatter, some marked messages and
// tables of rows, a record and line tag on every record. The record prefix and tag that the
// connection service writes take ~90 bytes, so messages are short to keep ~100 bytes a record.
std::string makeScriptOutput() {
  Lcg rng;
  std::string out;
  out.reserve(kTargetBytes + kTargetBytes / 4);
  for (int i = 0; i < kRecords; ++i) {
    std::string message;
    const unsigned pick = rng.next() % 100;
    const std::string n = std::to_string(i);
    if (pick < 60) {
      message = (i % 2 == 0) ? "Done." : "(1 row affected)";
    } else if (pick < 68) {
      message = "###ERROR### T" + n + " failed";
    } else if (pick < 76) {
      message = "###WARNING### IX" + n + " rebuilt";
    } else if (pick < 80) {
      message = "###ADVICE### Rerun job";
    } else if (pick < 84) {
      message = "###HEADER### Name:,:Rows\nx";
    } else if (pick < 98) {
      message = "###DATA### t" + n + ":,:" + std::to_string(rng.next() % 1000);
    } else {
      message = "###DESCRIPTION### Client tables";
    }
    out += stamp(i);
    out += pick < 60 ? "SQLState:[01000] NativeError:[0] Message:["
                     : "SQLState:[42000] NativeError:[50000] Message:[";
    out += message;
    out += "] [RecNum:" + std::to_string(1 + i % 7) + ", LineNum:" + std::to_string(i % 900) + "]\n";
  }
  return out;
}

// The generated file, written once into a private temporary directory and removed at exit.
struct Fixture {
  std::string dir;
  std::string path;
  std::string content;
  double memchrSeconds = 0;

  Fixture() {
    char templ[] = "/tmp/zarezodud-bench-XXXXXX";
    if (mkdtemp(templ) == nullptr) std::abort();
    dir = templ;
    path = dir + "/tempOutputFile.txt";
    content = makeScriptOutput();
    std::ofstream(path, std::ios::binary) << content;
    // The utility log (where read failures would go) stays inside the temporary directory.
    UtilityLogger::SetLogFileName((dir + "/Utility.log").c_str());
    memchrSeconds = bestOf(7, [this] { benchmark::DoNotOptimize(countLines()); });
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
