// The connection service against the SQLite3 ODBC driver (in-process; one statement per
// batch, so every batch here holds one statement).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <regex>
#include <string>

#include "db/rows/rkdb_data_types.h"
#include "platform/odbc/odbc_connection.h"
#include "platform/odbc/odbc_driver_detection.h"
#include "platform/odbc/temp_output_file.h"
#include "support/env_override.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

bool driverInstalled(const std::string& name) {
  const std::vector<std::string> drivers = installedOdbcDrivers();
  return std::find(drivers.begin(), drivers.end(), name) != drivers.end();
}

class SqliteConnection : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!driverInstalled("SQLite3")) GTEST_SKIP() << "ODBC driver SQLite3 (libsqliteodbc) is not installed";
    outputDir_ = std::make_unique<ztest::EnvOverride>("ZAREZODUD_OUTPUT_DIR", dir_.file("out"));
    ASSERT_EQ(conn_.OpenSQLConnectionUsingConnectionString(
                  "Driver={SQLite3};Database=" + dir_.file("db.sqlite") + ";", false),
              0)
        << conn_.getLastErrorStr();
  }

  // Runs a script that must succeed and returns its code.
  int run(const std::string& script) {
    int code = -12345;
    EXPECT_NE(conn_.executeQueryForZARezodud(script, &code), 0) << conn_.getLastErrorStr();
    return code;
  }

  int count(const std::string& table) {
    EXPECT_EQ(conn_.executeQuery("SELECT COUNT(*) FROM " + table, false), 0) << conn_.getLastErrorStr();
    int n = -1;
    EXPECT_EQ(conn_.getSingleRowIntResult(n), 0) << conn_.getLastErrorStr();
    return n;
  }

  std::string output() { return ztest::readFile(dir_.file("out/tempOutputFile.txt")); }

  ztest::TempDir dir_;
  std::unique_ptr<ztest::EnvOverride> outputDir_;
  OdbcConnection conn_;
};

TEST_F(SqliteConnection, RunsBatchesInOrderWithRepeats) {
  run("CREATE TABLE t(n INTEGER)\nGO\nINSERT INTO t VALUES (1)\ngo 3\n-- comment only\nGO\nINSERT INTO t "
      "VALUES (2)");
  EXPECT_EQ(count("t"), 4);
  EXPECT_EQ(count("t WHERE n = 1"), 3);
}

TEST_F(SqliteConnection, ReturnCodeIsFirstColumnOfFirstRowOfLastResultSet) {
  EXPECT_EQ(run("SELECT 7, 8 UNION ALL SELECT 9, 10"), 7);
  EXPECT_EQ(run("SELECT 3\nGO\nCREATE TABLE u(x INTEGER)"), 3) << "a batch without result set keeps the code";
  EXPECT_EQ(run("SELECT 3\nGO\nSELECT 'abc'"), 0) << "not an integer";
  EXPECT_EQ(run("SELECT 3\nGO\nSELECT NULL"), 0) << "NULL";
  EXPECT_EQ(run("SELECT 3\nGO\nSELECT x FROM u"), 0) << "last result set without rows";
  EXPECT_EQ(run("CREATE TABLE v(x INTEGER)"), 0) << "no result set at all";
  EXPECT_EQ(run("SELECT -150"), -150);
  EXPECT_EQ(run("SELECT ' 42 '"), 42);
  EXPECT_EQ(run("SELECT 99999999999"), 0) << "beyond 32 bits";
}

TEST_F(SqliteConnection, FirstFailingBatchEndsTheRunWithItsErrorAndMessages) {
  run("CREATE TABLE t(n INTEGER)");
  int code = -1;
  EXPECT_EQ(conn_.executeQueryForZARezodud(
                "INSERT INTO t VALUES (1)\nGO\n\n\nSELECT * FROM no_such_table\nGO\nINSERT INTO t VALUES (2)",
                &code),
            0);
  const std::string error = conn_.getLastErrorStr();
  EXPECT_NE(error.find("no_such_table"), std::string::npos) << error;
  EXPECT_NE(error.find("line 3"), std::string::npos) << "names the batch's first line: " << error;
  EXPECT_EQ(count("t"), 1) << "the batch after the failing one must not run";
  // With two lines of preamble in front of the caller's text, the failure names the line of
  // that text; the line of the whole text stays available to the caller.
  conn_.setLeadingLines(2);
  EXPECT_EQ(
      conn_.executeQueryForZARezodud("INSERT INTO t VALUES (3)\nGO\n\n\nSELECT * FROM no_such_table", &code),
      0);
  conn_.setLeadingLines(0);
  EXPECT_NE(conn_.getLastErrorStr().find("The batch starting at line 1 failed"), std::string::npos)
      << conn_.getLastErrorStr();
  EXPECT_EQ(conn_.getLastErrorLine(), 3);
  const std::regex record(
      R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d SQLState:\[[0-9A-Z]{5}\] NativeError:\[-?\d+\] Message:\[[^\n]*no_such_table[^\n]*\] \[RecNum:1, LineNum:0\]$)",
      std::regex::multiline);
  EXPECT_TRUE(std::regex_search(output(), record)) << output();
}

TEST_F(SqliteConnection, SingleRowResults) {
  run("CREATE TABLE t(n INTEGER, s TEXT)\nGO\nINSERT INTO t VALUES (12, 'twelve')\nGO\nINSERT INTO t VALUES "
      "(NULL, NULL)");
  std::string s;
  ASSERT_EQ(conn_.executeQuery("SELECT s FROM t WHERE n = 12", false), 0);
  ASSERT_EQ(conn_.getSingleRowStringResult(s), 0) << conn_.getLastErrorStr();
  EXPECT_EQ(s, "twelve");

  int n = 0;
  ASSERT_EQ(conn_.executeQuery("SELECT n FROM t WHERE n IS NULL", false), 0);
  EXPECT_NE(conn_.getSingleRowIntResult(n), 0) << "NULL is no integer";
  ASSERT_EQ(conn_.executeQuery("SELECT n FROM t WHERE n = 5", false), 0);
  EXPECT_NE(conn_.getSingleRowIntResult(n), 0);
  EXPECT_NE(conn_.getLastErrorStr().find("no row"), std::string::npos) << conn_.getLastErrorStr();
  ASSERT_EQ(conn_.executeQuery("SELECT s FROM t WHERE n = 12", false), 0);
  EXPECT_NE(conn_.getSingleRowIntResult(n), 0) << "text is no integer";
  // A GO-separated preamble runs first; the last batch's result is read.
  ASSERT_EQ(
      conn_.executeQuery("UPDATE t SET n = 13 WHERE n = 12\nGO\nSELECT n FROM t WHERE s = 'twelve'", false),
      0)
      << conn_.getLastErrorStr();
  ASSERT_EQ(conn_.getSingleRowIntResult(n), 0) << conn_.getLastErrorStr();
  EXPECT_EQ(n, 13);
  EXPECT_NE(conn_.executeQuery("SELECT x FROM nowhere", false), 0);
  EXPECT_NE(conn_.getLastErrorStr().find("nowhere"), std::string::npos) << conn_.getLastErrorStr();
}

TEST_F(SqliteConnection, BoundColumnsFetchValuesNullsAndIndicators) {
  const std::string longText(100000, 'x');
  run("CREATE TABLE t(id INTEGER, big INTEGER, at TIMESTAMP, s TEXT)\nGO\n"
      "INSERT INTO t VALUES (1, 5000000000, '2024-02-03 04:05:06', '" +
      longText +
      "')\nGO\n"
      "INSERT INTO t VALUES (2, NULL, NULL, NULL)");
  ASSERT_EQ(conn_.executeQuery("SELECT id, big, at, s FROM t ORDER BY id", false), 0)
      << conn_.getLastErrorStr();
  RKDB_int id;
  RKDB___int64 big;
  RKDB_datetime at;
  RKDB_string s;
  std::int64_t indicators[4] = {7, 7, 7, 7};
  conn_.setExtIndicatorArray(indicators);
  for (RKDBDataTypeBase* c : std::initializer_list<RKDBDataTypeBase*>{&id, &big, &at, &s}) {
    ASSERT_EQ(conn_.RKDBVar_addCol(c, -1), 0);
  }
  ASSERT_EQ(conn_.RKDBVar_bind(), 0) << conn_.getLastErrorStr();

  ASSERT_EQ(conn_.getNextRow(), 0) << conn_.getLastErrorStr();
  EXPECT_EQ(id.getData(), 1);
  EXPECT_EQ(big.getData(), 5000000000LL);
  EXPECT_EQ(at.getData().year, 2024);
  EXPECT_EQ(at.getData().month, 2);
  EXPECT_EQ(at.getData().day, 3);
  EXPECT_EQ(at.getData().second, 6);
  EXPECT_EQ(s.getData().size(), longText.size()) << "long text must arrive whole";
  EXPECT_EQ(s.getData(), longText);
  EXPECT_FALSE(big.isNull());
  EXPECT_EQ(indicators[0], 4);
  EXPECT_EQ(indicators[1], 8);
  EXPECT_EQ(indicators[2], 16);
  EXPECT_EQ(indicators[3], static_cast<std::int64_t>(longText.size()));

  ASSERT_EQ(conn_.getNextRow(), 0) << conn_.getLastErrorStr();
  EXPECT_EQ(id.getData(), 2);
  EXPECT_TRUE(big.isNull());
  EXPECT_TRUE(at.isNull());
  EXPECT_TRUE(s.isNull());
  EXPECT_TRUE(s.getData().empty()) << "a NULL text keeps nothing of the previous row";
  EXPECT_EQ(indicators[1], -1);
  EXPECT_EQ(indicators[3], -1);
  EXPECT_EQ(conn_.getNextRow(), 1);
  EXPECT_EQ(conn_.closeCursor(), 0);
}

TEST_F(SqliteConnection, BindingRefusesMoreColumnsThanTheResultSetHas) {
  ASSERT_EQ(conn_.executeQuery("SELECT 1", false), 0);
  RKDB_int a, b;
  conn_.RKDBVar_addCol(&a, -1);
  conn_.RKDBVar_addCol(&b, -1);
  EXPECT_NE(conn_.RKDBVar_bind(), 0);
  EXPECT_NE(conn_.getNextRow(), 0) << "no row is read after a failed bind";
  EXPECT_NE(conn_.getNextRow(), 1);
}

TEST_F(SqliteConnection, ParametersRoundTripIncludingNulls) {
  run("CREATE TABLE p(i INTEGER, b INTEGER, s TEXT, at TIMESTAMP)");
  SQLTimestamp ts;
  ts.year = 2023;
  ts.month = 12;
  ts.day = 31;
  ts.hour = 23;
  ts.minute = 59;
  ts.second = 58;
  ASSERT_EQ(
      conn_.executeWithParams("INSERT INTO p VALUES (?, ?, ?, ?)",
                              {SQLParam::ofInt32(-5), SQLParam::ofInt64(1LL << 40),
                               SQLParam::ofText("it's \"quoted\"; DROP TABLE p"), SQLParam::ofTimestamp(ts)}),
      0)
      << conn_.getLastErrorStr();
  ASSERT_EQ(conn_.executeWithParams(
                "INSERT INTO p VALUES (?, ?, ?, ?)",
                {SQLParam::nullOf(SQLParam::Type::kInt32), SQLParam::nullOf(SQLParam::Type::kInt64),
                 SQLParam::nullOf(SQLParam::Type::kText), SQLParam::nullOf(SQLParam::Type::kTimestamp)}),
            0)
      << conn_.getLastErrorStr();
  EXPECT_EQ(conn_.getAffectedRowCount(), 1);
  EXPECT_EQ(count("p"), 2);
  EXPECT_EQ(count("p WHERE i IS NULL AND b IS NULL AND s IS NULL AND at IS NULL"), 1);

  ASSERT_EQ(conn_.executeWithParams("SELECT i, b, s, at FROM p WHERE i = ?", {SQLParam::ofInt32(-5)}), 0)
      << conn_.getLastErrorStr();
  RKDB_int i;
  RKDB___int64 b;
  RKDB_string s;
  RKDB_datetime at;
  for (RKDBDataTypeBase* c : std::initializer_list<RKDBDataTypeBase*>{&i, &b, &s, &at})
    conn_.RKDBVar_addCol(c, -1);
  ASSERT_EQ(conn_.RKDBVar_bind(), 0) << conn_.getLastErrorStr();
  ASSERT_EQ(conn_.getNextRow(), 0) << conn_.getLastErrorStr();
  EXPECT_EQ(i.getData(), -5);
  EXPECT_EQ(b.getData(), 1LL << 40);
  EXPECT_EQ(s.getData(), "it's \"quoted\"; DROP TABLE p");
  EXPECT_EQ(at.getData().year, 2023);
  EXPECT_EQ(at.getData().minute, 59);
  EXPECT_EQ(conn_.getNextRow(), 1);
}

TEST_F(SqliteConnection, IntegerTooLargeForA32BitColumnIsAnErrorNotATruncation) {
  ASSERT_EQ(conn_.executeQuery("SELECT 5000000000", false), 0) << conn_.getLastErrorStr();
  RKDB_int small;
  conn_.RKDBVar_addCol(&small, -1);
  ASSERT_EQ(conn_.RKDBVar_bind(), 0) << conn_.getLastErrorStr();
  const int rc = conn_.getNextRow();
  EXPECT_TRUE(rc != 0 && rc != 1) << "got " << rc << " and value " << small.getData();
  EXPECT_NE(conn_.getLastErrorStr().find("5000000000"), std::string::npos) << conn_.getLastErrorStr();
}

TEST_F(SqliteConnection, ReportsTheDatabaseProductName) { EXPECT_EQ(conn_.getDBMSName(), "SQLite"); }

TEST_F(SqliteConnection, UnusableOutputDirectoryFailsTheRunBeforeAnythingIsSent) {
  run("CREATE TABLE t(n INTEGER)");
  ztest::TempDir other;
  ASSERT_EQ(::symlink(other.path().c_str(), dir_.file("link").c_str()), 0);
  ztest::EnvOverride env("ZAREZODUD_OUTPUT_DIR", dir_.file("link"));
  EXPECT_EQ(conn_.executeQueryForZARezodud("INSERT INTO t VALUES (1)", nullptr), 0);
  EXPECT_NE(conn_.getLastErrorStr().find("symbolic link"), std::string::npos) << conn_.getLastErrorStr();
  EXPECT_FALSE(ztest::fileExists(other.file("tempOutputFile.txt")));
  EXPECT_EQ(count("t"), 0);
}

TEST(SqliteConnectionOpen, FailureNamesTheProblemWithoutThePassword) {
  if (!driverInstalled("SQLite3")) GTEST_SKIP() << "ODBC driver SQLite3 (libsqliteodbc) is not installed";
  OdbcConnection conn;
  EXPECT_NE(
      conn.OpenSQLConnectionUsingConnectionString("Driver={No Such Driver 0};Server=x;PWD=s3cret;", false),
      0);
  EXPECT_EQ(conn.getLastErrorStr().find("s3cret"), std::string::npos) << conn.getLastErrorStr();
  EXPECT_NE(conn.getLastErrorStr().find("PWD=*****"), std::string::npos) << conn.getLastErrorStr();
  EXPECT_EQ(conn.executeQueryForZARezodud("SELECT 1", nullptr), 0) << "not open";
  EXPECT_NE(conn.executeQuery("SELECT 1", false), 0);
}

}  // namespace
}  // namespace zarezodud
