// The storage-array configuration and the deconfigured-client procedure walk against a private
// PostgreSQL 15 server through psqlODBC: a DBQueries whose product connection is redirected to
// the server, serial values returned by the inserts, and the procedure as a set-returning
// function.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/db_queries.h"
#include "platform/odbc/odbc_connection.h"
#include "support/connection_redirect.h"
#include "support/driver_database.h"
#include "support/env_override.h"
#include "support/postgres_server.h"
#include "support/registry_sandbox.h"
#include "support/storage_tables_sql.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

// The SQLite table definitions with PostgreSQL serial columns.
std::string postgresTable(std::string ddl) {
  const std::string sqliteSerial = "INTEGER PRIMARY KEY AUTOINCREMENT";
  const std::size_t at = ddl.find(sqliteSerial);
  if (at != std::string::npos) ddl.replace(at, sqliteSerial.size(), "SERIAL PRIMARY KEY");
  return ddl;
}

class PostgresServerUpgrade : public ztest::PostgresDatabaseTest {
 protected:
  void SetUp() override {
    PostgresDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    run("DROP TABLE IF EXISTS SMArray; DROP TABLE IF EXISTS SMArrayCtrlHostMap; "
        "DROP TABLE IF EXISTS SMControlHost;");
    for (const char* create :
         {ztest::kCreateSMArray, ztest::kCreateSMArrayCtrlHostMap, ztest::kCreateSMControlHost}) {
      run(postgresTable(create));
    }
    useForDBQueries();
  }

  // A procedure whose rows are clients 1..count, the one numbered failAt (if any) with
  // clientId 0 and errString "disk full".
  void createProcedure(int count, int failAt) {
    run("CREATE OR REPLACE FUNCTION AppIfaUpgrade_UninstalledClients(mode INTEGER, other INTEGER) "
        "RETURNS TABLE(clientId INTEGER, clientName VARCHAR, simOperatingSystemId INTEGER, releaseId "
        "INTEGER, "
        "errCode INTEGER, errString VARCHAR) AS $$ "
        "SELECT CASE WHEN g = " +
        std::to_string(failAt) + " THEN 0 ELSE g END, 'client' || g, mode, other, 0, " +
        "CASE WHEN g = " + std::to_string(failAt) + " THEN 'disk full' ELSE NULL END::VARCHAR " +
        "FROM generate_series(1, " + std::to_string(count) + ") AS g $$ LANGUAGE SQL;");
  }
};

TEST_F(PostgresServerUpgrade, StorageArrayCreatedThenRevived) {
  run("INSERT INTO SMControlHost (ClientId) VALUES (0)");
  const int host = number("SELECT ControlHostId FROM SMControlHost");
  ASSERT_EQ(m_db->ConfigureSMArrayEntries("it's array", static_cast<unsigned long>(host), 9), 1u)
      << m_db->getLastError();
  const int arrayId = number("SELECT Id FROM SMArray WHERE ArrayName = 'it''s array'");
  EXPECT_EQ(number("SELECT COUNT(*) FROM SMArray WHERE OrigFLId = 2 AND DeleteTime IS NULL AND ClientId = 9 "
                   "AND CreationTime = UpdateTime"),
            1);
  EXPECT_EQ(number("SELECT COUNT(*) FROM SMArrayCtrlHostMap WHERE ArrayId = " + std::to_string(arrayId) +
                   " AND ControlHostId = " + std::to_string(host)),
            1);
  EXPECT_EQ(number("SELECT ClientId FROM SMControlHost"), 9);

  run("UPDATE SMArray SET DeleteTime = NOW(); UPDATE SMArrayCtrlHostMap SET DeleteTime = NOW();");
  ASSERT_EQ(m_db->ConfigureSMArrayEntries("it's array", static_cast<unsigned long>(host), 10), 1u)
      << m_db->getLastError();
  EXPECT_EQ(number("SELECT COUNT(*) FROM SMArray WHERE DeleteTime IS NULL AND ClientId = 10"), 1);
  EXPECT_EQ(number("SELECT COUNT(*) FROM SMArray"), 1);
  EXPECT_EQ(number("SELECT COUNT(*) FROM SMArrayCtrlHostMap WHERE DeleteTime IS NULL"), 1);
  EXPECT_EQ(number("SELECT COUNT(*) FROM SMArrayCtrlHostMap"), 1);
}

TEST_F(PostgresServerUpgrade, DeconfiguredClientsWalkAllRowsAndStopAtAFailedOne) {
  createProcedure(4, 0);
  ASSERT_EQ(m_db->upgradeAllDeconfiguredClients(14, 0, nullptr), 1u) << m_db->getLastError();
  const std::string done = m_db->getLastError();
  EXPECT_NE(done.find("and Total Rows affected 4"), std::string::npos) << done;

  createProcedure(4, 3);
  EXPECT_EQ(m_db->upgradeAllDeconfiguredClients(14, 0, nullptr), 0u);
  EXPECT_EQ(std::string(m_db->getLastError())
                .rfind("AppIfaUpgrade_UninstalledClients returned error[disk full]", 0),
            0u)
      << m_db->getLastError();

  // The agents' walk passes 2 as the first value: two rows, the first of which is taken.
  createProcedure(2, 0);
  EXPECT_EQ(m_db->UpgradeAgentsConfiguredOnCH(14, 0, nullptr), 1u) << m_db->getLastError();
}

}  // namespace
}  // namespace zarezodud
