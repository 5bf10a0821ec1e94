// Processing of a generated phase of one-line SQL scripts in 100 lists, with a connection that
// succeeds at once, against a baseline loop that performs the same script reads and upgrade-log
// appends in the same run. Counters: us_script, microseconds of processing per script;
// x_baseline, processing time / baseline time. Run at 1,000, 10,000 and 100,000 scripts; the
// program ends with the per-script cost of each size relative to the smallest (flatness). The
// Time column covers processing and baseline together; the counters separate them.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/ini_file_processor.h"
#include "log/zarezodud_logger.h"
#include "platform/odbc/rk_simple_db_conn_object.h"
#include "support/temp_dir.h"

namespace {

constexpr int kLists = 100;

// A connection that opens and runs every script at once, with no result and no message.
class NoOpConnection : public RKSimpleDBConnObject {
 public:
  static long long scriptsRun;
  void setNumConnectAttempts(int) override {}
  int OpenSQLConnectionUsingConnectionString(const std::string&, bool) override { return 0; }
  void setUseSQLDefaultCursorType(bool) override {}
  int executeQueryForZARezodud(const std::string&, int* returnCode) override {
    if (returnCode != nullptr) *returnCode = 0;
    ++scriptsRun;
    return 1;
  }
  int executeQuery(const std::string&, bool) override { return 0; }
  int executeWithParams(const std::string&, const std::vector<zarezodud::SQLParam>&) override { return 0; }
  int getSingleRowIntResult(int&) override { return 1; }
  int getSingleRowStringResult(std::string&) override { return 1; }
  int RKDBVar_addCol(zarezodud::ColumnTarget*, int) override { return 0; }
  int RKDBVar_bind() override { return 1; }
  int getNextRow() override { return 1; }
  int closeCursor() override { return 0; }
  void setExtIndicatorArray(void*) override {}
  std::string getDBMSName() override { return "Microsoft SQL Server"; }
  long long getAffectedRowCount() override { return -1; }
  std::string getLastErrorStr() const override { return ""; }
};
long long NoOpConnection::scriptsRun = 0;

// One process-wide sandbox: registry, output directory, driver name and upgrade log.
struct Sandbox {
  ztest::TempDir dir;
  Sandbox() {
    setenv("ZAREZODUD_REGISTRY_DIR", dir.file("registry").c_str(), 1);
    setenv("ZAREZODUD_OUTPUT_DIR", dir.file("output").c_str(), 1);
    setenv("ZAREZODUD_ODBC_DRIVER", "No-op Driver", 1);
    ZARezodudLogger::init(dir.file("logs/upgrade.log"));
    zarezodud::setSQLConnectionFactory([] { return new NoOpConnection; });
  }
};

Sandbox& sandbox() {
  static Sandbox s;
  return s;
}

// A phase "Bench" of `scripts` one-line scripts spread over 100 lists.
struct GeneratedPhase {
  ztest::TempDir dir;
  ZARezodudParams params;
  std::vector<std::string> scriptPaths;

  explicit GeneratedPhase(int scripts) {
    sandbox();
    // Configuration lines hold at most 254 characters, so the 100 lists are spread over ten
    // sub-modules of ten pre-command lists each.
    std::string config = "[Bench]\nDirectory=p\nSubModuleSections=";
    for (int m = 0; m < kLists / 10; ++m) config += (m ? ",M" : "M") + std::to_string(m);
    config += "\n";
    const int perList = scripts / kLists;
    for (int m = 0; m < kLists / 10; ++m) {
      std::string lists;
      for (int l = m * 10; l < m * 10 + 10; ++l) {
        std::string list;
        for (int s = 0; s < perList; ++s) {
          const std::string name = "s" + std::to_string(l) + "_" + std::to_string(s) + ".sql";
          list += name + "\n";
          scriptPaths.push_back(dir.write("cfg/p/" + name, "SELECT 1\n"));
        }
        const std::string listName = "l" + std::to_string(l) + ".lst";
        dir.write("cfg/p/" + listName, list);
        lists += (l % 10 ? "," : "") + listName;
      }
      config += "[M" + std::to_string(m) + "]\nDirectory=p\nPreCommandType=SQL\nPreCommand-CurRelListFileName=" +
                lists + "\n";
    }
    dir.write("cfg/phases.ini", config);
    dir.write("cfg/product.ini",
              "[SupportedProducts]\nProductName=Corehub\n[Corehub]\nBaseRegistryPath=Base\n"
              "RegistryPathForDBAccess=Database\nRegistryNameForDSN=sDSN\nRegistryNameForSQLInstance=sInstance\n"
              "RegistryNameForSQLUser=sUser\n");
    params.setConfigFile(dir.file("cfg/phases.ini"));
    params.setProductConfigFile(dir.file("cfg/product.ini"));
    params.setLogfile(sandbox().dir.file("logs/upgrade.log"));
    params.setPhaseLogFile(sandbox().dir.file("logs/phase.log"));
    params.setCurrentReleaseId(16);
    params.setProductName("Corehub");
    params.setDBServer("SQL Server");
    params.setSQLInstance("srv");
    params.setDBname("Corehub");
    params.setUserId("sa");
    params.setPassword("pw");
  }
};

GeneratedPhase& phase(int scripts) {
  static std::map<int, std::unique_ptr<GeneratedPhase>> phases;
  auto& slot = phases[scripts];
  if (!slot) slot = std::make_unique<GeneratedPhase>(scripts);
  return *slot;
}

// What processing cannot avoid per script: read the script file and append its log line.
double baselineSeconds(const GeneratedPhase& generated) {
  const auto start = std::chrono::steady_clock::now();
  size_t bytes = 0;
  for (const std::string& path : generated.scriptPaths) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes += text.size();
    ZARezodudLogger::LogLine("INIFileProcessor::executeSQLList", "%s",
                             ("Executing file [" + path + "].").c_str());
  }
  benchmark::DoNotOptimize(bytes);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::map<int, double>& perScript() {
  static std::map<int, double> results;
  return results;
}

void BM_ProcessPhase(benchmark::State& state) {
  const int scripts = static_cast<int>(state.range(0));
  GeneratedPhase& generated = phase(scripts);
  double processing = 0, baseline = 0;
  for (auto _ : state) {
    INIFileProcessor processor(generated.params, 0);
    RKZARezodud::ProcessPhase record;
    int returnCode = 0;
    NoOpConnection::scriptsRun = 0;
    const auto start = std::chrono::steady_clock::now();
    const unsigned int ok = processor.processPhase("Bench", returnCode, record);
    processing += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (ok != 1 || returnCode != 0 || NoOpConnection::scriptsRun != scripts) {
      state.SkipWithError("processing did not run every script");
      break;
    }
    baseline += baselineSeconds(generated);
  }
  const double runs = static_cast<double>(state.iterations());
  const double us = processing / runs / scripts * 1e6;
  state.counters["us_script"] = us;
  state.counters["x_baseline"] = processing / baseline;
  state.SetItemsProcessed(state.iterations() * scripts);
  perScript()[scripts] = us;
}
BENCHMARK(BM_ProcessPhase)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const auto& results = perScript();
  if (results.size() > 1) {
    const double smallest = results.begin()->second;
    for (const auto& [scripts, us] : results) {
      std::printf("per-script cost at %d scripts: %.2f us, %.2fx the cost at %d\n", scripts, us, us / smallest,
                  results.begin()->first);
    }
  }
  return 0;
}
