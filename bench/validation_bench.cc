// Validation of a generated phase of 10,000 scripts in 100 lists, against a baseline loop that
// stats the same files in the same run. Counter x_stat: validation time / stat-loop time.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/ini_file_processor.h"
#include "log/zarezodud_logger.h"
#include "support/temp_dir.h"

namespace {

constexpr int kLists = 100;
constexpr int kScriptsPerList = 100;

struct GeneratedPhase {
  ztest::TempDir dir;
  ZARezodudParams params;
  std::vector<std::string> scriptPaths;

  GeneratedPhase() {
    // Ten sub-modules of ten lists each: a configuration line holds at most 254 characters.
    std::string config = "[UpgradeScript]\nSubModuleSections=";
    std::string modules;
    for (int m = 0; m < 10; ++m) config += (m ? ",M" : "M") + std::to_string(m);
    config += "\n";
    for (int l = 0; l < kLists; ++l) {
      std::string list;
      for (int s = 0; s < kScriptsPerList; ++s) {
        const std::string name = "s" + std::to_string(l) + "_" + std::to_string(s) + ".sql";
        list += name + "\n";
        scriptPaths.push_back(dir.write("cfg/p/" + name, "SELECT 1\n"));
      }
      const std::string listName = "l" + std::to_string(l) + ".lst";
      dir.write("cfg/p/" + listName, list);
      if (l % 10 == 0) modules += "[M" + std::to_string(l / 10) + "]\nDirectory=p\nPreCommandType=SQL\nPreCommand-CurRelListFileName=";
      modules += (l % 10 ? "," : "") + listName;
      if (l % 10 == 9) modules += "\n";
    }
    dir.write("cfg/phases.ini", config + modules);
    params.setConfigFile(dir.file("cfg/phases.ini"));
    params.setLogfile(dir.file("upgrade.log"));
    params.setCurrentReleaseId(16);
    ZARezodudLogger::init(dir.file("upgrade.log"));
  }
};

GeneratedPhase& phase() {
  static GeneratedPhase generated;
  return generated;
}

double statLoopSeconds() {
  const auto start = std::chrono::steady_clock::now();
  struct stat st;
  long long sum = 0;
  for (const std::string& path : phase().scriptPaths) {
    if (::stat(path.c_str(), &st) == 0) sum += st.st_mtime;
  }
  benchmark::DoNotOptimize(sum);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ValidatePhase(benchmark::State& state) {
  double validation = 0, baseline = 0;
  for (auto _ : state) {
    INIFileProcessor processor(phase().params, 1);
    const auto start = std::chrono::steady_clock::now();
    if (!processor.validatePhase("UpgradeScript")) state.SkipWithError("validation failed");
    if (processor.getTotalScriptsCount() != kLists * kScriptsPerList) state.SkipWithError("scripts not counted");
    validation += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    baseline += statLoopSeconds();
  }
  state.SetItemsProcessed(state.iterations() * kLists * kScriptsPerList);
  state.counters["x_stat"] = validation / baseline;
}
BENCHMARK(BM_ValidatePhase)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
