// Cost of the connection service per batch against a raw ODBC loop on the same kind of
// connection (SQLite3, in memory), and the throughput of the batch splitter on a 50 MB
// script. Prints the ratio service/raw at the end (the aim is at most 1.2).
#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "platform/text/batch_splitter.h"
#include "platform/odbc/odbc_connection.h"

namespace {

constexpr int kBatchesPerScript = 200;
const char kConnectionString[] = "Driver={SQLite3};Database=:memory:;";
const char kStatement[] = "INSERT INTO t VALUES (1, 'some text')";

// A private output directory for the service's message file, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    std::string templ = "/tmp/zarezodud-bench-XXXXXX";
    if (::mkdtemp(templ.data()) != nullptr) path_ = templ;
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string makeScript() {
  std::string script;
  for (int i = 0; i < kBatchesPerScript; ++i) {
    script += kStatement;
    script += "\nGO\n";
  }
  return script;
}

void BM_ServicePerBatch(benchmark::State& state) {
  ScratchDir dir;
  ::setenv("ZAREZODUD_OUTPUT_DIR", dir.path().c_str(), 1);
  zarezodud::OdbcConnection conn;
  if (conn.OpenSQLConnectionUsingConnectionString(kConnectionString, false) != 0 ||
      conn.executeQueryForZARezodud("CREATE TABLE t(n INTEGER, s TEXT)", nullptr) == 0) {
    state.SkipWithError(conn.getLastErrorStr().c_str());
    return;
  }
  const std::string script = makeScript();
  for (auto _ : state) {
    if (conn.executeQueryForZARezodud(script, nullptr) == 0) {
      state.SkipWithError(conn.getLastErrorStr().c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatchesPerScript);
}

void BM_RawExecDirectPerBatch(benchmark::State& state) {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)kConnectionString, SQL_NTS, nullptr, 0, nullptr,
                                      SQL_DRIVER_NOPROMPT))) {
    state.SkipWithError("cannot connect to the SQLite3 driver");
  } else {
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    SQLExecDirect(stmt, (SQLCHAR*)"CREATE TABLE t(n INTEGER, s TEXT)", SQL_NTS);
    SQLFreeStmt(stmt, SQL_CLOSE);
    for (auto _ : state) {
      for (int i = 0; i < kBatchesPerScript; ++i) {
        SQLRETURN rc = SQLExecDirect(stmt, (SQLCHAR*)kStatement, SQL_NTS);
        benchmark::DoNotOptimize(rc);
        SQLFreeStmt(stmt, SQL_CLOSE);
      }
    }
    state.SetItemsProcessed(state.iterations() * kBatchesPerScript);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
  }
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
}

void BM_SplitterThroughput(benchmark::State& state) {
  // About 50 MB of varied script: comments, literals holding GO, separators with counts.
  static const std::string script = [] {
    const std::string piece =
        "/* header comment\nGO\n */\nCREATE TABLE [dbo].[T]]x] (id int, name nvarchar(50))\n"
        "INSERT INTO T VALUES (1, 'it''s\nGO\nnot a separator') -- trailing comment\n"
        "GO\nSELECT \"quoted\"\"id\" FROM T WHERE name LIKE 'a%'\ngo 2 -- twice\n\n";
    std::string s;
    s.reserve(50u << 20);
    while (s.size() < (50u << 20)) s += piece;
    return s;
  }();
  std::size_t batches = 0;
  for (auto _ : state) {
    auto result = zarezodud::splitSqlBatches(script);
    batches = result.size();
    benchmark::DoNotOptimize(result.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(script.size()));
  state.counters["batches"] = static_cast<double>(batches);
}

BENCHMARK(BM_ServicePerBatch)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawExecDirectPerBatch)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SplitterThroughput)->Unit(benchmark::kMillisecond);

// Console output as usual, plus the time per iteration of each run for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (!r.error_occurred) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& times() const { return times_; }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& t = reporter.times();
  auto service = t.find("BM_ServicePerBatch");
  auto raw = t.find("BM_RawExecDirectPerBatch");
  if (service != t.end() && raw != t.end() && raw->second > 0) {
    std::printf("ratio service/raw per batch: %.2f (aim: at most 1.20)\n", service->second / raw->second);
  }
  benchmark::Shutdown();
  return 0;
}
