#include "support/driver_database.h"

#include "db/rows/db_table.h"
#include "support/postgres_server.h"
#include "support/tds_peer.h"

namespace ztest {

namespace {

// The servers of the suites that need one, started once per suite.
struct SuiteServer {
  std::unique_ptr<PostgresServer> postgres;
  std::unique_ptr<TdsPeer> peer;
  std::string reason;  // why there is none
};

SuiteServer& postgresSuite() {
  static SuiteServer server;
  return server;
}

SuiteServer& peerSuite() {
  static SuiteServer server;
  return server;
}

}  // namespace

void DriverDatabaseTest::SetUp() {
  std::string reason;
  m_connectionString = connectionString(reason);
  if (m_connectionString.empty()) GTEST_SKIP() << reason;
  m_outputDir = std::make_unique<EnvOverride>("ZAREZODUD_OUTPUT_DIR", m_dir.file("out"));
  ASSERT_EQ(m_check.OpenSQLConnectionUsingConnectionString(m_connectionString, false), 0)
      << m_check.getLastErrorStr();
}

void DriverDatabaseTest::TearDown() {
  m_db.reset();
  m_redirect.reset();
  if (m_tables) {
    zarezodud::DBtable::setCurrentConnection(m_previousTables);
    zarezodud::DBtable::b_newDBBase = m_previousStyle;
    m_tables = false;
  }
}

void DriverDatabaseTest::useForTables() {
  m_previousTables = zarezodud::DBtable::setCurrentConnection(&m_check);
  m_previousStyle = zarezodud::DBtable::b_newDBBase.load();
  m_tables = true;
}

void DriverDatabaseTest::useForDBQueries() {
  m_redirect = std::make_unique<ScopedConnectionRedirect>(m_connectionString);
  m_db = std::make_unique<DBQueries>("SQL Server", "srv", "", "Corehub", "sa", "pw");
}

void DriverDatabaseTest::run(const std::string& text) {
  ASSERT_NE(m_check.executeQueryForZARezodud(text, nullptr), 0) << m_check.getLastErrorStr();
}

int DriverDatabaseTest::number(const std::string& query) {
  EXPECT_EQ(m_check.executeQuery(query, false), 0) << m_check.getLastErrorStr();
  int n = -1;
  EXPECT_EQ(m_check.getSingleRowIntResult(n), 0) << m_check.getLastErrorStr() << " in " << query;
  return n;
}

std::string DriverDatabaseTest::text(const std::string& query) {
  EXPECT_EQ(m_check.executeQuery(query, false), 0) << m_check.getLastErrorStr();
  std::string value;
  EXPECT_EQ(m_check.getSingleRowStringResult(value), 0) << m_check.getLastErrorStr() << " in " << query;
  return value;
}

std::string SqliteDatabaseTest::connectionString(std::string& reason) {
  if (!odbcDriverInstalled("SQLite3")) {
    reason = "ODBC driver SQLite3 (libsqliteodbc) is not installed";
    return std::string();
  }
  return sqliteConnectionString(databaseFile());
}

void PostgresDatabaseTest::SetUpTestSuite() {
  SuiteServer& suite = postgresSuite();
  if (!odbcDriverInstalled("PostgreSQL Unicode")) {
    suite.reason = "ODBC driver \"PostgreSQL Unicode\" (odbc-postgresql) is not installed";
    return;
  }
  if (!PostgresServer::installed(suite.reason)) return;
  suite.postgres = std::make_unique<PostgresServer>();
  std::string failure;
  if (!suite.postgres->start(failure)) {
    suite.postgres.reset();
    suite.reason = "the private PostgreSQL server did not start: " + failure;
  }
}

void PostgresDatabaseTest::TearDownTestSuite() {
  postgresSuite().postgres.reset();
  postgresSuite().reason.clear();
}

std::string PostgresDatabaseTest::connectionString(std::string& reason) {
  const SuiteServer& suite = postgresSuite();
  if (!suite.postgres) {
    reason = suite.reason;
    return std::string();
  }
  return suite.postgres->connectionString();
}

void FreeTdsDatabaseTest::SetUpTestSuite() { startPeer(TdsPeer::Options()); }

const TdsPeer* FreeTdsDatabaseTest::peer() { return peerSuite().peer.get(); }

void FreeTdsDatabaseTest::startPeer(const TdsPeer::Options& options) {
  SuiteServer& suite = peerSuite();
  suite.peer.reset();
  suite.reason.clear();
  if (!odbcDriverInstalled("FreeTDS")) {
    suite.reason = "ODBC driver FreeTDS (tdsodbc) is not registered with the driver manager";
    return;
  }
  if (!TdsPeer::available(suite.reason)) return;
  suite.peer = std::make_unique<TdsPeer>();
  std::string failure;
  if (!suite.peer->start(options, failure)) {
    suite.peer.reset();
    suite.reason = "the test peer did not start: " + failure;
  }
}

void FreeTdsDatabaseTest::TearDownTestSuite() {
  peerSuite().peer.reset();
  peerSuite().reason.clear();
}

std::string FreeTdsDatabaseTest::connectionString(std::string& reason) {
  const SuiteServer& suite = peerSuite();
  if (!suite.peer) {
    reason = suite.reason;
    return std::string();
  }
  return suite.peer->connectionString("Corehub");
}

}  // namespace ztest
