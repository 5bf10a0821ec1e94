// The table framework and the generated table classes against a real database: the SQLite3
// ODBC driver (in-process, one statement per call). Covers fetching into records, inserts
// with the serial read back, updates, NULL date-times, heap texts, the newer binding style and
// transactions.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>

#include "db/rows/db_odbc_date.h"
#include "db/rows/db_table.h"
#include "db/rows/db_tran.h"
#include "db/rows/record_text.h"
#include "db/rows/rkdb_data_types.h"
#include "db/rows/sm_array.h"
#include "db/rows/sm_array_ctrl_host_map.h"
#include "db/rows/sm_control_host.h"
#include "platform/odbc/odbc_connection.h"
#include "platform/odbc/odbc_driver_detection.h"
#include "support/driver_database.h"
#include "support/env_override.h"
#include "support/storage_tables_sql.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

class SqliteTableFramework : public ztest::SqliteDatabaseTest {
 protected:
  void SetUp() override {
    SqliteDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (const char* create :
         {ztest::kCreateSMArray, ztest::kCreateSMArrayCtrlHostMap, ztest::kCreateSMControlHost}) {
      run(create);
    }
    useForTables();
  }
  OdbcConnection& m_conn = m_check;
};

TEST_F(SqliteTableFramework, InsertFetchAndReviveAnArray) {
  DB_DATETIME now;
  ASSERT_EQ(DBodbcDate(static_cast<long>(std::time(nullptr)), now, true), 1);
  DB_DATETIME cleared;

  {
    SMArray array(nullptr);
    array.setWhere("ArrayName = '%s'", "array-1");
    ASSERT_EQ(getOneRow(&array, false, -1, 0), 100);
    SMArray_t* record = array.getDataPtr();
    record->ClientId = 11;
    copyRecordText(record->ArrayName, sizeof(record->ArrayName), "array-1");
    record->OrigFLId = 2;
    record->CreationTime = now;
    record->UpdateTime = now;
    record->DeleteTime = cleared;
    record->TotalSpaceMB = 5LL << 33;
    replaceRecordHeapText(record->Properties, "<props size='big'/>");
    const int inserted = array.rowInsert(true);
    ASSERT_EQ(inserted, 0) << array.getErrorStr(inserted);
    EXPECT_GT(record->Id, 0);
  }
  EXPECT_EQ(count("SMArray WHERE DeleteTime IS NULL AND OrigFLId = 2"), 1);

  SMArray again(nullptr);
  again.setWhere("ArrayName = '%s'", "array-1");
  ASSERT_EQ(getOneRow(&again, false, -1, 0), 0) << again.getErrorStr(DBT_FETCH_FAILED);
  const SMArray_t* found = again.getDataPtr();
  EXPECT_EQ(found->ClientId, 11);
  EXPECT_EQ(found->OrigFLId, 2);
  EXPECT_EQ(found->TotalSpaceMB, 5LL << 33);
  EXPECT_EQ(found->CreationTime.timestamp, now.timestamp);
  EXPECT_EQ(found->UpdateTime.timestamp, found->CreationTime.timestamp);
  EXPECT_EQ(found->DeleteTime.timestamp, RKTIMESTAMP_STRUCT{});
  ASSERT_NE(found->Properties, nullptr);
  EXPECT_STREQ(found->Properties, "<props size='big'/>");
  EXPECT_STREQ(found->LoginName, "");

  // A deleted array is revived by clearing its delete time.
  ASSERT_NE(m_conn.executeQueryForZARezodud("UPDATE SMArray SET DeleteTime = '2020-01-01 00:00:00'", nullptr),
            0);
  EXPECT_EQ(again.rowUpdate("DeleteTime = NULL, ClientId = %lu", 12ul), 0);
  EXPECT_EQ(count("SMArray WHERE DeleteTime IS NULL AND ClientId = 12"), 1);
}

TEST_F(SqliteTableFramework, ValuesAreBoundNotPasted) {
  SMArray array(nullptr);
  copyRecordText(array.getDataPtr()->ArrayName, sizeof(array.getDataPtr()->ArrayName),
                 "o'hara'); DROP TABLE SMArray;--");
  ASSERT_EQ(array.rowInsert(true), 0) << array.getErrorStr(DBT_STATEMENT_FAILED);
  EXPECT_EQ(count("SMArray"), 1);
}

TEST_F(SqliteTableFramework, ControlHostUpdateAndNewerStyleLinkScan) {
  ASSERT_NE(m_conn.executeQueryForZARezodud(
                "INSERT INTO SMControlHost (ControlHostId, Flags) VALUES (3, 8589934592)", nullptr),
            0);
  SMControlHost host(nullptr);
  host.setWhere("ControlHostId = %lu ", 3ul);
  ASSERT_EQ(host.rowUpdate("ClientId = %lu", 21ul), 0);
  ASSERT_EQ(getOneRow(&host, false, -1, 0), 0);
  EXPECT_EQ(host.getDataPtr()->ClientId, 21);
  EXPECT_EQ(host.getDataPtr()->Flags, 8589934592LL);

  DBtable::b_newDBBase = true;
  for (int arrayId = 1; arrayId <= 3; ++arrayId) {
    SMArrayCtrlHostMap link(nullptr);
    link.getDataPtr()->ArrayId = arrayId;
    link.getDataPtr()->ControlHostId = 3;
    ASSERT_EQ(link.rowInsert(true), 0) << link.getErrorStr(DBT_STATEMENT_FAILED);
    EXPECT_EQ(link.getDataPtr()->Id, arrayId);
    EXPECT_EQ(dynamic_cast<RKDB_int*>(link.getRowObject()->getColumn("Id"))->getData(), arrayId);
  }
  SMArrayCtrlHostMap scan(nullptr);
  scan.setWhere("ArrayId >= '%d' AND ControlHostId = '%d'", 2, 3);
  int counter = 0;
  std::vector<int> ids;
  int result = 0;
  while ((result = getNextRow(&scan, &counter, -1, 0)) == 0) ids.push_back(scan.getDataPtr()->ArrayId);
  EXPECT_EQ(result, 100) << scan.getErrorStr(result);
  EXPECT_EQ(ids, (std::vector<int>{2, 3}));
  EXPECT_EQ(counter, 2);
  const auto* indicators = static_cast<const std::int64_t*>(scan.getIndicatorArray());
  EXPECT_EQ(indicators[4], -1) << "CreationTime was NULL";
  EXPECT_GT(indicators[1], 0) << "ArrayId had a value";
}

TEST_F(SqliteTableFramework, RolledBackTransactionLeavesNoRow) {
  {
    DBtran tran;
    ASSERT_EQ(tran.begin(), 0) << tran.getErrorStr();
    SMArrayCtrlHostMap link(&tran);
    link.getDataPtr()->ArrayId = 9;
    ASSERT_EQ(link.rowInsert(false), 0);
    EXPECT_EQ(count("SMArrayCtrlHostMap"), 1);
    ASSERT_EQ(tran.rollback(), 0) << tran.getErrorStr();
  }
  EXPECT_EQ(count("SMArrayCtrlHostMap"), 0);
}

TEST_F(SqliteTableFramework, ServerErrorsComeBackAsTexts) {
  SMArray array(nullptr);
  array.setWhere("NoSuchColumn = 1");
  const int status = getOneRow(&array, false, -1, 0);
  EXPECT_EQ(status, DBT_STATEMENT_FAILED);
  EXPECT_NE(array.getErrorStr(status).find("NoSuchColumn"), std::string::npos) << array.getErrorStr(status);
}

}  // namespace
}  // namespace zarezodud
