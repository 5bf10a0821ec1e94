// Lookup speed of the profile-file store on a phase configuration file of 2,000 lines whose
// looked-up keys sit in the last section (the worst case: the whole file is scanned), against
// a baseline that only reads the same file line by line with fgets. Prints the ratio of the
// two rates after the run.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "config/profile_store.h"

namespace {

constexpr int kSections = 100;
constexpr int kKeysPerSection = 19;  // with the header, 20 lines per section
constexpr int kLookupKeys = 8;

class BenchFile {
 public:
  BenchFile() {
    std::string dir = (std::filesystem::temp_directory_path() / "zarezodud-bench-XXXXXX").string();
    if (mkdtemp(&dir[0]) == nullptr) abort();
    dir_ = dir;
    path_ = dir_ + "/Phases.ini";
    FILE* f = fopen(path_.c_str(), "w");
    if (f == nullptr) abort();
    for (int s = 1; s <= kSections; ++s) {
      fprintf(f, "[Phase%03d]\n", s);
      for (int k = 0; k < kKeysPerSection; ++k) {
        fprintf(f, "  Key%02d = scripts/phase%03d/list%02d.lst, scripts/common/list%02d.lst\n", k, s, k, k);
      }
    }
    fclose(f);
  }
  ~BenchFile() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

const BenchFile& benchFile() {
  static BenchFile file;
  return file;
}

void BM_GetProfileString(benchmark::State& state) {
  const char* path = benchFile().path().c_str();
  char section[32];
  snprintf(section, sizeof section, "Phase%03d", kSections);
  char keys[kLookupKeys][16];
  for (int k = 0; k < kLookupKeys; ++k) snprintf(keys[k], sizeof keys[k], "key%02d", kKeysPerSection - 1 - k);
  char out[256];
  int next = 0;
  for (auto _ : state) {
    if (GetProfileString(section, keys[next], "", out, sizeof out, path) != 0 || out[0] == '\0') {
      state.SkipWithError("lookup failed");
      break;
    }
    benchmark::DoNotOptimize(out);
    next = (next + 1) % kLookupKeys;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetProfileString);

void BM_ReadLinesBaseline(benchmark::State& state) {
  const char* path = benchFile().path().c_str();
  char line[256];
  for (auto _ : state) {
    FILE* f = fopen(path, "r");
    if (f == nullptr) {
      state.SkipWithError("open failed");
      break;
    }
    int lines = 0;
    while (fgets(line, sizeof line, f) != nullptr) ++lines;
    fclose(f);
    benchmark::DoNotOptimize(lines);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadLinesBaseline);

// Console output as usual, plus the items/s of every run kept for the ratio.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("items_per_second");
      if (it != run.counters.end() && !run.error_occurred) rates_[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double rate(const std::string& name) const {
    auto it = rates_.find(name);
    return it == rates_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double lookup = reporter.rate("BM_GetProfileString");
  const double baseline = reporter.rate("BM_ReadLinesBaseline");
  if (lookup > 0 && baseline > 0) {
    printf("lookups/s: %.0f  baseline file reads/s: %.0f  ratio lookup/baseline: %.3f\n", lookup, baseline,
           lookup / baseline);
  }
  benchmark::Shutdown();
  return 0;
}
