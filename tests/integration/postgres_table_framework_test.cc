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
#include "support/driver_database.h"
#include "support/env_override.h"
#include "support/postgres_server.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

class PostgresTableFramework : public ztest::PostgresDatabaseTest {
 protected:
  void SetUp() override {
    PostgresDatabaseTest::SetUp();
    if (!IsSkipped() && !HasFatalFailure()) useForTables();
  }
  OdbcConnection& m_conn = m_check;
};

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
