// The connection service against a private PostgreSQL 15 server through psqlODBC: batches
// with several statements and result sets, notices as message records, server errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "db/rows/rkdb_data_types.h"
#include "platform/odbc/odbc_connection.h"
#include "platform/odbc/odbc_driver_detection.h"
#include "support/env_override.h"
#include "support/postgres_server.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

class PostgresConnection : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::vector<std::string> drivers = installedOdbcDrivers();
    if (std::find(drivers.begin(), drivers.end(), "PostgreSQL Unicode") == drivers.end()) {
      skipReason_ = "ODBC driver \"PostgreSQL Unicode\" (odbc-postgresql) is not installed";
      return;
    }
    if (!ztest::PostgresServer::installed(skipReason_)) return;
    server_ = new ztest::PostgresServer();
    if (!server_->start(startFailure_)) {
      delete server_;
      server_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
    ASSERT_NE(server_, nullptr) << "the private PostgreSQL server did not start: " << startFailure_;
    outputDir_ = std::make_unique<ztest::EnvOverride>("ZAREZODUD_OUTPUT_DIR", dir_.path());
    ASSERT_EQ(conn_.OpenSQLConnectionUsingConnectionString(server_->connectionString(), false), 0)
        << conn_.getLastErrorStr();
  }

  std::string output() { return ztest::readFile(dir_.file("tempOutputFile.txt")); }

  static ztest::PostgresServer* server_;
  static std::string skipReason_;
  static std::string startFailure_;
  ztest::TempDir dir_;
  std::unique_ptr<ztest::EnvOverride> outputDir_;
  OdbcConnection conn_;
};

ztest::PostgresServer* PostgresConnection::server_ = nullptr;
std::string PostgresConnection::skipReason_;
std::string PostgresConnection::startFailure_;

TEST_F(PostgresConnection, SeveralStatementsAndResultSetsInOneBatch) {
  int code = -1;
  ASSERT_NE(conn_.executeQueryForZARezodud("CREATE TEMP TABLE a(x int); INSERT INTO a VALUES (1), (2), (3);\n"
                                           "SELECT count(*) FROM a; SELECT 41; UPDATE a SET x = x + 1",
                                           &code),
            0)
      << conn_.getLastErrorStr();
  EXPECT_EQ(code, 41) << "the last result set is that of SELECT 41; UPDATE yields none";

  ASSERT_NE(conn_.executeQueryForZARezodud("SELECT 1; SELECT 2\nGO\nSELECT 5, 6; SELECT 'no'", &code), 0);
  EXPECT_EQ(code, 0) << "last result set holds text";
  ASSERT_NE(conn_.executeQueryForZARezodud(
                "SELECT 8 UNION ALL SELECT 9; SELECT NULL::int\nGO\nSELECT 17 UNION ALL SELECT 18", &code),
            0);
  EXPECT_EQ(code, 17);
}

TEST_F(PostgresConnection, NoticesAreWrittenInOrderAndNoneIsLost) {
  ASSERT_NE(
      conn_.executeQueryForZARezodud("DO $$ BEGIN RAISE NOTICE 'first note'; RAISE NOTICE 'second note'; "
                                     "RAISE NOTICE 'third note'; END $$;\nGO\n"
                                     "DO $$ BEGIN RAISE NOTICE 'fourth note'; END $$",
                                     nullptr),
      0)
      << conn_.getLastErrorStr();
  const std::string out = output();
  std::size_t at = 0;
  for (const char* note : {"first note", "second note", "third note", "fourth note"}) {
    const std::size_t found = out.find(note, at);
    ASSERT_NE(found, std::string::npos) << note << " missing or out of order in:\n" << out;
    at = found;
  }
  EXPECT_NE(out.find("] [RecNum:"), std::string::npos);
}

TEST_F(PostgresConnection, FailingBatchEndsTheRunAndItsErrorIsRecorded) {
  ASSERT_NE(
      conn_.executeQueryForZARezodud("CREATE TABLE IF NOT EXISTS runs(n int); DELETE FROM runs", nullptr), 0)
      << conn_.getLastErrorStr();
  int code = -1;
  EXPECT_EQ(conn_.executeQueryForZARezodud("INSERT INTO runs VALUES (1); SELECT 3\nGO\nSELECT 1/0\nGO\n"
                                           "INSERT INTO runs VALUES (2)",
                                           &code),
            0);
  EXPECT_NE(conn_.getLastErrorStr().find("division by zero"), std::string::npos) << conn_.getLastErrorStr();
  EXPECT_NE(conn_.getLastErrorStr().find("line 3"), std::string::npos) << conn_.getLastErrorStr();
  EXPECT_NE(output().find("division by zero"), std::string::npos) << output();
  EXPECT_EQ(code, 3) << "the code as it stood when the run ended";
  ASSERT_EQ(conn_.executeQuery("SELECT count(*) FROM runs", false), 0) << conn_.getLastErrorStr();
  int rows = -1;
  ASSERT_EQ(conn_.getSingleRowIntResult(rows), 0) << conn_.getLastErrorStr();
  EXPECT_EQ(rows, 1);
  // The connection stays usable after a failure.
  ASSERT_NE(conn_.executeQueryForZARezodud("SELECT 12", &code), 0) << conn_.getLastErrorStr();
  EXPECT_EQ(code, 12);
}

TEST_F(PostgresConnection, SingleRowStringAfterStatementsWithoutResults) {
  ASSERT_EQ(conn_.executeQuery("SET client_min_messages = notice; SELECT 'abc' || 'def'", false), 0)
      << conn_.getLastErrorStr();
  std::string value;
  ASSERT_EQ(conn_.getSingleRowStringResult(value), 0) << conn_.getLastErrorStr();
  EXPECT_EQ(value, "abcdef");
  EXPECT_EQ(conn_.getDBMSName(), "PostgreSQL");
}

TEST_F(PostgresConnection, IntegerColumnTooLargeForItsValueIsAnErrorNotATruncation) {
  ASSERT_EQ(conn_.executeQuery("SELECT 5000000000::bigint", false), 0) << conn_.getLastErrorStr();
  RKDB_int small;
  conn_.RKDBVar_addCol(&small, -1);
  ASSERT_EQ(conn_.RKDBVar_bind(), 0) << conn_.getLastErrorStr();
  const int rc = conn_.getNextRow();
  EXPECT_NE(rc, 0);
  EXPECT_NE(rc, 1);
  EXPECT_FALSE(conn_.getLastErrorStr().empty());
}

TEST_F(PostgresConnection, ServerErrorMasksThePasswordOfAFailedOpen) {
  OdbcConnection other;
  std::string bad = server_->connectionString();
  bad.replace(bad.find("Database=postgres"), 17, "Database=no_such_db");
  EXPECT_NE(other.OpenSQLConnectionUsingConnectionString(bad, false), 0);
  EXPECT_NE(other.getLastErrorStr().find("no_such_db"), std::string::npos) << other.getLastErrorStr();
  EXPECT_EQ(other.getLastErrorStr().find(ztest::PostgresServer::password()), std::string::npos)
      << other.getLastErrorStr();
}

}  // namespace
}  // namespace zarezodud
