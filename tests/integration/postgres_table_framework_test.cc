// The table framework against a private PostgreSQL 15 server through psqlODBC: the serial value
// returned by the insert itself, and a stored procedure (a set-returning function here) called
// with bound inputs in both binding styles.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "db/rows/app_ifa_upgrade_uninstalled_clients.h"
#include "db/rows/db_table.h"
#include "db/rows/sm_array_ctrl_host_map.h"
#include "platform/odbc/odbc_connection.h"
#include "platform/odbc/odbc_driver_detection.h"
#include "support/env_override.h"
#include "support/postgres_server.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

class PostgresTableFramework : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::vector<std::string> drivers = installedOdbcDrivers();
    if (std::find(drivers.begin(), drivers.end(), "PostgreSQL Unicode") == drivers.end()) {
      s_skipReason = "ODBC driver \"PostgreSQL Unicode\" (odbc-postgresql) is not installed";
      return;
    }
    if (!ztest::PostgresServer::installed(s_skipReason)) return;
    s_server = new ztest::PostgresServer();
    if (!s_server->start(s_startFailure)) {
      delete s_server;
      s_server = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete s_server;
    s_server = nullptr;
  }

  void SetUp() override {
    if (!s_skipReason.empty()) GTEST_SKIP() << s_skipReason;
    ASSERT_NE(s_server, nullptr) << "the private PostgreSQL server did not start: " << s_startFailure;
    m_outputDir = std::make_unique<ztest::EnvOverride>("ZAREZODUD_OUTPUT_DIR", m_dir.path());
    ASSERT_EQ(m_conn.OpenSQLConnectionUsingConnectionString(s_server->connectionString(), false), 0)
        << m_conn.getLastErrorStr();
    m_previous = DBtable::setCurrentConnection(&m_conn);
    m_style = DBtable::b_newDBBase.load();
    m_active = true;
  }
  void TearDown() override {
    if (!m_active) return;
    DBtable::setCurrentConnection(m_previous);
    DBtable::b_newDBBase = m_style;
  }

  void run(const std::string& script) {
    ASSERT_NE(m_conn.executeQueryForZARezodud(script, nullptr), 0) << m_conn.getLastErrorStr();
  }

  static ztest::PostgresServer* s_server;
  static std::string s_skipReason;
  static std::string s_startFailure;
  ztest::TempDir m_dir;
  std::unique_ptr<ztest::EnvOverride> m_outputDir;
  OdbcConnection m_conn;

 private:
  RKSimpleDBConnObject* m_previous = nullptr;
  bool m_style = false;
  bool m_active = false;
};

ztest::PostgresServer* PostgresTableFramework::s_server = nullptr;
std::string PostgresTableFramework::s_skipReason;
std::string PostgresTableFramework::s_startFailure;

TEST_F(PostgresTableFramework, InsertReturnsTheSerial) {
  run("DROP TABLE IF EXISTS SMArrayCtrlHostMap;\n"
      "CREATE TABLE SMArrayCtrlHostMap (Id SERIAL PRIMARY KEY, ArrayId INTEGER, ControlHostId INTEGER, "
      "Flags INTEGER, CreationTime TIMESTAMP, DeleteTime TIMESTAMP, ReserveField1 INTEGER, ReserveField2 "
      "INTEGER, "
      "ReserveField3 INTEGER, ReserveField4 INTEGER, ReserveFieldStr VARCHAR(255));\n"
      "INSERT INTO SMArrayCtrlHostMap (ArrayId) VALUES (100);");
  SMArrayCtrlHostMap link(nullptr);
  link.getDataPtr()->ArrayId = 7;
  link.getDataPtr()->ControlHostId = 8;
  const int status = link.rowInsert(true);
  ASSERT_EQ(status, 0) << link.getErrorStr(status);
  EXPECT_EQ(link.getDataPtr()->Id, 2);

  SMArrayCtrlHostMap found(nullptr);
  found.setWhere("ArrayId = '%d' AND ControlHostId = '%d'", 7, 8);
  ASSERT_EQ(getOneRow(&found, false, -1, 0), 0) << found.getErrorStr(DBT_STATEMENT_FAILED);
  EXPECT_EQ(found.getDataPtr()->Id, 2);
  EXPECT_EQ(found.getDataPtr()->DeleteTime.timestamp, RKTIMESTAMP_STRUCT{});
}

TEST_F(PostgresTableFramework, ProcedureRowsInBothBindingStyles) {
  run("CREATE OR REPLACE FUNCTION AppIfaUpgrade_UninstalledClients(mode INTEGER, other INTEGER) "
      "RETURNS TABLE(clientId INTEGER, clientName VARCHAR, simOperatingSystemId INTEGER, releaseId INTEGER, "
      "errCode INTEGER, errString VARCHAR) AS $$ "
      "SELECT g, 'client' || g, mode, other, 0, NULL::VARCHAR FROM generate_series(1, mode) AS g "
      "$$ LANGUAGE SQL;");
  for (bool newer : {true, false}) {
    DBtable::b_newDBBase = newer;
    AppIfaUpgrade_UninstalledClients procedure(nullptr);
    procedure.setValues(3, 9);
    int counter = 0;
    int result = 0;
    std::string names;
    while ((result = getNextRow(&procedure, &counter, -1, 0)) == 0) {
      names += procedure.getDataPtr()->clientName;
      EXPECT_EQ(procedure.getDataPtr()->releaseId, 9);
      EXPECT_STREQ(procedure.getDataPtr()->errString, "");
    }
    EXPECT_EQ(result, 100) << procedure.getErrorStr(result);
    EXPECT_EQ(counter, 3) << (newer ? "newer style" : "older style");
    EXPECT_EQ(names, "client1client2client3");
  }
}

}  // namespace
}  // namespace zarezodud
