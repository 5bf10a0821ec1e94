// The script lint over a generated phase of 10,000 scripts in 100 lists (realistic scripts of
// about 2 KB: procedures, comments, literals, GO lines; some with CR LF line ends, a byte-order
// mark or UTF-16), against a baseline loop that reads the same files whole in the same run.
// Counter x_read: lint time / read-loop time. The lint includes walking the phase and its lists.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "db/script_lint.h"
#include "engine/ini_file_processor.h"
#include "engine/phase_scripts.h"
#include "platform/fs/regular_file.h"
#include "support/temp_dir.h"

namespace {

constexpr int kLists = 100;
constexpr int kScriptsPerList = 100;

std::string scriptText(int n) {
  std::string text = "-- Upgrade step " + std::to_string(n) + ": keeps the job history tidy.\n";
  text += "IF OBJECT_ID('dbo.usp_Step" + std::to_string(n) + "') IS NOT NULL\n";
  text += "    DROP PROCEDURE dbo.usp_Step" + std::to_string(n) + ";\nGO\n";
  text += "/* Purges rows older than the retention period.\n   Runs once per upgrade. */\n";
  text += "CREATE PROCEDURE dbo.usp_Step" + std::to_string(n) + " @days int = 30\nAS\nBEGIN\n";
  text += "    SET NOCOUNT ON;\n";
  for (int i = 0; i < 12; ++i) {
    text +=
        "    DELETE FROM [dbo].[APP_JobHistory] WHERE finished < DATEADD(day, -@days, GETDATE())"
        " AND note <> N'keep ''" +
        std::to_string(i) + "''' -- batch " + std::to_string(i) + "\n";
  }
  text += "    PRINT '###DESCRIPTION### Step " + std::to_string(n) + " done';\nEND\nGO 1\n";
  text += "SELECT 0;\n";
  return text;
}

std::string withCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string asUtf16(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

struct GeneratedPhase {
  ztest::TempDir dir;
  ZARezodudParams params;
  std::vector<std::string> scriptPaths;
  std::size_t bytes = 0;

  GeneratedPhase() {
    std::string config = "[UpgradeScript]\nSubModuleSections=";
    std::string modules;
    for (int m = 0; m < 10; ++m) config += (m ? ",M" : "M") + std::to_string(m);
    config += "\n";
    for (int l = 0; l < kLists; ++l) {
      std::string list;
      for (int s = 0; s < kScriptsPerList; ++s) {
        const int n = l * kScriptsPerList + s;
        const std::string name = "s" + std::to_string(l) + "_" + std::to_string(s) + ".sql";
        list += name + "\n";
        std::string text = scriptText(n);
        if (n % 10 == 1) text = withCrLf(text);
        if (n % 50 == 2) text = "\xEF\xBB\xBF" + text;
        if (n % 100 == 3) text = asUtf16(text);
        bytes += text.size();
        scriptPaths.push_back(dir.write("cfg/p/" + name, text));
      }
      const std::string listName = "l" + std::to_string(l) + ".lst";
      dir.write("cfg/p/" + listName, list);
      if (l % 10 == 0) {
        modules += "[M" + std::to_string(l / 10) +
                   "]\nDirectory=p\nPreCommandType=SQL\nPreCommand-CurRelListFileName=";
      }
      modules += (l % 10 ? "," : "") + listName;
      if (l % 10 == 9) modules += "\n";
    }
    dir.write("cfg/phases.ini", config + modules);
    params.setConfigFile(dir.file("cfg/phases.ini"));
    params.setLogfile(dir.file("upgrade.log"));
    params.setCurrentReleaseId(16);
  }
};

GeneratedPhase& phase() {
  static GeneratedPhase generated;
  return generated;
}

double readLoopSeconds() {
  const auto start = std::chrono::steady_clock::now();
  std::size_t total = 0;
  std::string bytes, error;
  for (const std::string& path : phase().scriptPaths) {
    if (zarezodud::readRegularFile(path, bytes, nullptr, error) == zarezodud::FileReadResult::kRead) {
      total += bytes.size();
    }
  }
  benchmark::DoNotOptimize(total);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_LintPhase(benchmark::State& state) {
  double lint = 0, baseline = 0;
  std::size_t findings = 0;
  for (auto _ : state) {
    INIFileProcessor processor(phase().params, 0);
    const auto start = std::chrono::steady_clock::now();
    const zarezodud::PhaseScripts scripts = zarezodud::collectPhaseScripts(processor, "UpgradeScript");
    std::vector<zarezodud::LintFinding> found;
    for (const std::string& script : scripts.scripts)
      zarezodud::lintScript(script, zarezodud::ScriptSettings(), found);
    lint += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (scripts.scripts.size() != static_cast<std::size_t>(kLists * kScriptsPerList)) {
      state.SkipWithError("scripts not collected");
    }
    findings = found.size();
    baseline += readLoopSeconds();
  }
  state.SetItemsProcessed(state.iterations() * kLists * kScriptsPerList);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * phase().bytes));
  state.counters["x_read"] = lint / baseline;
  state.counters["lint_s"] = lint / static_cast<double>(state.iterations());
  state.counters["findings"] = static_cast<double>(findings);
}
BENCHMARK(BM_LintPhase)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
