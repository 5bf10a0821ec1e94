// ConfigureSMArrayEntries on a real database: a DBQueries whose product connection is the SQLite3
// ODBC driver (every open is sent to a temporary SQLite file). The rows
// are checked afterwards with plain queries.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/db_queries.h"
#include "db/rows/db_table.h"
#include "platform/odbc/odbc_connection.h"
#include "support/connection_redirect.h"
#include "support/driver_database.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/storage_tables_sql.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

class SqliteStorageArray : public ztest::SqliteDatabaseTest {
 protected:
  void SetUp() override {
    SqliteDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (const char* create :
         {ztest::kCreateSMArray, ztest::kCreateSMArrayCtrlHostMap, ztest::kCreateSMControlHost}) {
      run(create);
    }
    run("INSERT INTO SMControlHost (ControlHostId, ClientId) VALUES (3, 0)");
    useForDBQueries();
  }
};

TEST_F(SqliteStorageArray, NewArrayGetsItsRowAndLink) {
  ASSERT_EQ(m_db->ConfigureSMArrayEntries("array-1", 3, 9), 1u) << m_db->getLastError();
  EXPECT_STREQ(m_db->getLastError(),
               "Successfully configured SMControlHost, SMArray and SMArrayCtrlHostMap with Client Id [9]");
  EXPECT_EQ(count("SMControlHost WHERE ControlHostId = 3 AND ClientId = 9"), 1);
  EXPECT_EQ(
      count("SMArray WHERE ArrayName = 'array-1' AND ClientId = 9 AND OrigFLId = 2 AND DeleteTime IS NULL "
            "AND CreationTime IS NOT NULL AND CreationTime = UpdateTime"),
      1);
  const int arrayId = number("SELECT Id FROM SMArray WHERE ArrayName = 'array-1'");
  EXPECT_EQ(count("SMArrayCtrlHostMap WHERE ArrayId = " + std::to_string(arrayId) +
                  " AND ControlHostId = 3 AND DeleteTime IS NULL AND CreationTime IS NOT NULL"),
            1);

  // A second run finds both rows: nothing new is inserted.
  ASSERT_EQ(m_db->ConfigureSMArrayEntries("array-1", 3, 9), 1u) << m_db->getLastError();
  EXPECT_EQ(count("SMArray"), 1);
  EXPECT_EQ(count("SMArrayCtrlHostMap"), 1);
}

TEST_F(SqliteStorageArray, DeletedArrayAndLinkAreRevivedForTheNewClient) {
  run("INSERT INTO SMArray (ArrayName, ClientId, OrigFLId, DeleteTime) VALUES ('old', 4, 7, '2020-01-01 "
      "00:00:00')");
  run("INSERT INTO SMArray (ArrayName, ClientId) VALUES ('other', 4)");
  const int arrayId = number("SELECT Id FROM SMArray WHERE ArrayName = 'old'");
  run("INSERT INTO SMArrayCtrlHostMap (ArrayId, ControlHostId, DeleteTime) VALUES (" +
      std::to_string(arrayId) + ", 3, '2020-01-01 00:00:00')");

  ASSERT_EQ(m_db->ConfigureSMArrayEntries("old", 3, 12), 1u) << m_db->getLastError();
  EXPECT_EQ(count("SMArray"), 2);
  EXPECT_EQ(
      count("SMArray WHERE ArrayName = 'old' AND ClientId = 12 AND DeleteTime IS NULL AND OrigFLId = 7"), 1);
  EXPECT_EQ(count("SMArray WHERE ArrayName = 'other' AND ClientId = 4"), 1) << "other arrays are left alone";
  EXPECT_EQ(count("SMArrayCtrlHostMap"), 1);
  EXPECT_EQ(count("SMArrayCtrlHostMap WHERE DeleteTime IS NULL"), 1);
}

TEST_F(SqliteStorageArray, QuotedNameIsStoredAndFoundAgain) {
  const std::string name = "it's'); DROP TABLE SMArray; --";
  ASSERT_EQ(m_db->ConfigureSMArrayEntries(name, 3, 9), 1u) << m_db->getLastError();
  ASSERT_EQ(m_db->ConfigureSMArrayEntries(name, 3, 10), 1u) << m_db->getLastError();
  EXPECT_EQ(count("SMArray WHERE ArrayName = 'it''s''); DROP TABLE SMArray; --' AND ClientId = 10"), 1);
  EXPECT_EQ(count("SMArrayCtrlHostMap"), 1);
}

TEST_F(SqliteStorageArray, FailureAtTheLinkStepKeepsEarlierChanges) {
  run("DROP TABLE SMArrayCtrlHostMap");
  EXPECT_EQ(m_db->ConfigureSMArrayEntries("array-2", 3, 9), 0u);
  const std::string error = m_db->getLastError();
  EXPECT_EQ(error.rfind("Failure. Error[", 0), 0u) << error;
  EXPECT_NE(error.find("SMArrayCtrlHostMap"), std::string::npos) << error;
  EXPECT_EQ(count("SMControlHost WHERE ControlHostId = 3 AND ClientId = 9"), 1);
  EXPECT_EQ(count("SMArray WHERE ArrayName = 'array-2' AND ClientId = 9"), 1);
}

}  // namespace
}  // namespace zarezodud
