// Scanner throughput on a 10 MB script output file of 100,000 records, against a memchr
// pass for line ends over the same bytes measured in the same run.
//
// Counters: bytes_per_second (MB/s in the table), x_memchr (scan time / memchr time),
// heap_peak_x (peak heap bytes during one scan / file size), rss_delta_MB (growth of the
// process's maximum resident set during the benchmark; coarse, 0 once an earlier benchmark
// reached a higher mark).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
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

void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  noteAlloc(p);
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  noteFree(p);
  std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

constexpr int kRecords = 100000;
constexpr std::size_t kTargetBytes = 10u * 1000u * 1000u;

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

// A mix like an upgrade script's output: mostly server chatter, some marked messages,
// tables of rows, RecNum tags on every record; records padded so the file is ~10 MB.
std::string makeScriptOutput() {
  Lcg rng;
  std::string out;
  out.reserve(kTargetBytes + 4096);
  const std::size_t perRecord = kTargetBytes / kRecords;
  for (int i = 0; i < kRecords; ++i) {
    std::string message;
    const unsigned pick = rng.next() % 100;
    if (pick < 60) {
      message = "[FreeTDS][SQL Server]Changed database context to 'CoreDB'.";
    } else if (pick < 68) {
      message = "###ERROR### Table APP_Client" + std::to_string(i) + " could not be altered";
    } else if (pick < 76) {
      message = "###WARNING### Index IX_" + std::to_string(i) + " rebuilt with fill factor 80";
    } else if (pick < 80) {
      message = "###ADVICE### Run the maintenance job after the upgrade";
    } else if (pick < 84) {
      message = "###HEADER### Name:,:Rows:,:Size\nsecond header line is cut";
    } else if (pick < 98) {
      message = "###DATA### tbl" + std::to_string(i) + ":,:" + std::to_string(rng.next() % 100000) +
                ":,:" + std::to_string(rng.next() % 1000) + " KB";
    } else {
      message = "###DESCRIPTION### Upgrades the client tables";
    }
    std::string rec = stamp(i) + "SQLState:[01000] NativeError:[" + std::to_string(pick < 60 ? 5701 : 50000) +
                      "] Message:[" + message;
    const std::string tag =
        "] [RecNum:" + std::to_string(1 + i % 7) + ", LineNum:" + std::to_string(i % 900) + "]\n";
    if (rec.size() + tag.size() < perRecord) rec.append(perRecord - rec.size() - tag.size(), ' ');
    out += rec;
    out += tag;
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
      const auto t0 = std::chrono::steady_clock::now();
      f();
      best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
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
    const auto t0 = std::chrono::steady_clock::now();
    body(f);
    fastest = std::min(fastest, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
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
