// DriverDatabaseTest: the fixture of the integration suites that talk to a real database through
// a real ODBC driver. One subclass per driver says where the database comes from:
//   SqliteDatabaseTest    a SQLite file in the test's temporary directory (driver "SQLite3")
//   PostgresDatabaseTest  a private PostgreSQL server started once per suite ("PostgreSQL Unicode")
//   FreeTdsDatabaseTest   the SQL Server protocol test peer started once per suite ("FreeTDS")
// Each test gets a private registry and output directory and an open check connection (m_check)
// with helpers to run statements and read single values. A suite opts in to the rest:
// useForTables() makes m_check the table framework's current connection for the test, and
// useForDBQueries() sends every connection a DBQueries object opens to the same database and
// gives the test one (m_db). A missing driver or server skips the suite, naming what is missing.
//
// Not thread-safe: one fixture per test, used from the test thread.
#ifndef ZAREZODUD_TESTS_SUPPORT_DRIVER_DATABASE_H
#define ZAREZODUD_TESTS_SUPPORT_DRIVER_DATABASE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/db_queries.h"
#include "platform/odbc/odbc_connection.h"
#include "support/connection_redirect.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/tds_peer.h"
#include "support/temp_dir.h"

namespace ztest {

class DriverDatabaseTest : public ::testing::Test {
 protected:
  // The database's connection string for this test ("" with reason set when there is none).
  virtual std::string connectionString(std::string& reason) = 0;

  void SetUp() override;
  void TearDown() override;

  void useForTables();
  void useForDBQueries();

  // Runs text (batches split at GO) on m_check; a failure fails the test.
  void run(const std::string& text);
  // The single integer or text of query on m_check.
  int number(const std::string& query);
  std::string text(const std::string& query);
  int count(const std::string& from) { return number("SELECT COUNT(*) FROM " + from); }

  TempDir m_dir;
  RegistrySandbox m_registry;
  std::unique_ptr<EnvOverride> m_outputDir;
  zarezodud::OdbcConnection m_check;
  std::unique_ptr<ScopedConnectionRedirect> m_redirect;
  std::unique_ptr<DBQueries> m_db;

 private:
  std::string m_connectionString;
  RKSimpleDBConnObject* m_previousTables = nullptr;
  bool m_previousStyle = false;
  bool m_tables = false;
};

class SqliteDatabaseTest : public DriverDatabaseTest {
 protected:
  std::string connectionString(std::string& reason) override;
  std::string databaseFile() const { return m_dir.file("db.sqlite"); }
};

class PostgresDatabaseTest : public DriverDatabaseTest {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  std::string connectionString(std::string& reason) override;
};

class FreeTdsDatabaseTest : public DriverDatabaseTest {
 protected:
  // Starts the suite's peer with its default options; a suite that needs others calls
  // startPeer from its own SetUpTestSuite.
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  static void startPeer(const TdsPeer::Options& options);
  // The suite's peer (null when it could not start: the tests skip then).
  static const TdsPeer* peer();
  // m_check is opened on this database of the peer.
  std::string connectionString(std::string& reason) override;
};

}  // namespace ztest

#endif
