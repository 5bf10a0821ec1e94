#include "db/rows/db_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db/rows/app_ifa_upgrade_uninstalled_clients.h"
#include "db/rows/db_error_log.h"
#include "db/rows/db_odbc_date.h"
#include "db/rows/db_tran.h"
#include "db/rows/record_text.h"
#include "db/rows/rkdb_data_types.h"
#include "db/rows/sm_array.h"
#include "db/rows/sm_array_ctrl_host_map.h"
#include "db/rows/sm_control_host.h"
#include "platform/odbc/rk_simple_db_conn_object.h"

namespace zarezodud {
namespace {

// One cell of a scripted result row.
struct Cell {
  bool null = false;
  long long number = 0;
  std::string text;
  RKTIMESTAMP_STRUCT time;

  static Cell ofNull() {
    Cell c;
    c.null = true;
    return c;
  }
  static Cell of(long long n) {
    Cell c;
    c.number = n;
    return c;
  }
  static Cell ofText(const char* s) {
    Cell c;
    c.text = s;
    return c;
  }
};
using Row = std::vector<Cell>;

// A connection that records what the framework sends and answers from scripted rows.
class FakeConnection : public RKSimpleDBConnObject {
 public:
  std::string dbms = "Microsoft SQL Server";
  std::vector<std::string> texts;
  std::vector<std::vector<SQLParam>> params;
  std::vector<Row> rows;  // delivered by the next result set
  bool failExecute = false;
  int singleInt = 0;
  std::vector<void*> indicatorHistory;
  int closes = 0;

  void setNumConnectAttempts(int) override {}
  int OpenSQLConnectionUsingConnectionString(const std::string&, bool) override { return 0; }
  void setUseSQLDefaultCursorType(bool) override {}
  int executeQueryForZARezodud(const std::string& text, int*) override {
    return record(text, {}) == 0 ? 1 : 0;
  }
  int executeQuery(const std::string& text, bool) override { return record(text, {}); }
  int executeWithParams(const std::string& text, const std::vector<SQLParam>& p) override {
    return record(text, p);
  }
  int getSingleRowIntResult(int& value) override {
    value = singleInt;
    return 0;
  }
  int getSingleRowStringResult(std::string&) override { return 1; }
  int RKDBVar_addCol(ColumnTarget* column, int) override {
    m_columns.push_back(column);
    return 0;
  }
  int RKDBVar_bind() override { return m_columns.empty() ? 1 : 0; }
  int getNextRow() override {
    if (m_next >= m_delivering.size()) return 1;
    const Row& row = m_delivering[m_next++];
    auto* indicators = static_cast<std::int64_t*>(m_indicators);
    for (std::size_t i = 0; i < m_columns.size() && i < row.size(); ++i) {
      ColumnTarget* target = m_columns[i];
      const Cell& cell = row[i];
      target->setFetchedNull(cell.null);
      if (indicators != nullptr) indicators[i] = cell.null ? -1 : 1;
      if (cell.null) continue;
      switch (target->getDataType()) {
        case RKDB_TYPE_INT: {
          const int n = static_cast<int>(cell.number);
          target->setData(reinterpret_cast<const char*>(&n), 0, sizeof n, false);
          break;
        }
        case RKDB_TYPE_INT64:
          target->setData(reinterpret_cast<const char*>(&cell.number), 0, sizeof cell.number, false);
          break;
        case RKDB_TYPE_DATETIME:
          target->setData(reinterpret_cast<const char*>(&cell.time), 0, sizeof cell.time, false);
          break;
        default:
          target->setData(cell.text.data(), 0, static_cast<int>(cell.text.size()), false);
      }
    }
    return 0;
  }
  int closeCursor() override {
    ++closes;
    return 0;
  }
  void setExtIndicatorArray(void* indicators) override {
    m_indicators = indicators;
    indicatorHistory.push_back(indicators);
  }
  std::string getDBMSName() override { return dbms; }
  long long getAffectedRowCount() override { return -1; }
  std::string getLastErrorStr() const override { return "scripted failure"; }

 private:
  int record(const std::string& text, const std::vector<SQLParam>& p) {
    texts.push_back(text);
    params.push_back(p);
    m_columns.clear();
    m_delivering = rows;
    rows.clear();
    m_next = 0;
    return failExecute ? 1 : 0;
  }

  std::vector<ColumnTarget*> m_columns;
  std::vector<Row> m_delivering;
  std::size_t m_next = 0;
  void* m_indicators = nullptr;
};

// Makes a fake the current connection and chooses the binding style for one test.
class DbTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_previous = DBtable::setCurrentConnection(&conn);
    m_style = DBtable::b_newDBBase.load();
    m_sink = setDBErrorLogSink([this](const std::string& line) { logged.push_back(line); });
  }
  void TearDown() override {
    DBtable::setCurrentConnection(m_previous);
    DBtable::b_newDBBase = m_style;
    setDBErrorLogSink(m_sink);
  }

  FakeConnection conn;
  std::vector<std::string> logged;

 private:
  RKSimpleDBConnObject* m_previous = nullptr;
  bool m_style = false;
  DBErrorLogSink m_sink;
};

Row arrayRow(int id, const char* name) {
  Row row(SMArray::kColumnCount, Cell::ofNull());
  row[0] = Cell::of(id);
  row[1] = Cell::of(7);
  row[2] = Cell::ofText(name);
  row[9] = Cell::of(1LL << 35);
  return row;
}

TEST_F(DbTableTest, TablesDescribeThemselves) {
  SMArray array(nullptr);
  EXPECT_EQ(array.getName(), "SMArray");
  EXPECT_EQ(array.getHeaderType(), 1);
  EXPECT_EQ(array.getHeader(), "Table SMArray");
  EXPECT_EQ(array.getVersion(), "1.5.202.3");
  EXPECT_EQ(array.getSerialName(), "Id");
  EXPECT_EQ(array.getOrderBy(), "Id");
  EXPECT_EQ(array.getColumnList().substr(0, 30), "Id, ClientId, ArrayName, SoftS");
  EXPECT_EQ(array.getRowObject(), nullptr);
  EXPECT_NE(array.getIndicatorArray(), nullptr);

  SMArrayCtrlHostMap map(nullptr);
  EXPECT_EQ(map.getColumnList(),
            "Id, ArrayId, ControlHostId, Flags, CreationTime, DeleteTime, ReserveField1, ReserveField2, "
            "ReserveField3, ReserveField4, ReserveFieldStr");
  EXPECT_EQ(map.getVersion(), "1.2.208.2");

  SMControlHost host(nullptr);
  EXPECT_EQ(host.getVersion(), "1.17.2.5");
  EXPECT_EQ(host.getSerialName(), "ControlHostId");
  EXPECT_EQ(host.getOrderBy(), "ControlHostId");

  AppIfaUpgrade_UninstalledClients procedure(nullptr);
  EXPECT_EQ(procedure.getHeaderType(), 2);
  EXPECT_EQ(procedure.getHeader(), "Procedure AppIfaUpgrade_UninstalledClients");
  EXPECT_STREQ(procedure.getCode(), "00010021006000110000");
  EXPECT_EQ(procedure.getSerialName(), "");
  EXPECT_EQ(procedure.getVersion(), "");
  EXPECT_EQ(procedure.getOrderBy(), "");

  DBtable::b_newDBBase = true;
  SMControlHost newer(nullptr);
  ASSERT_NE(newer.getRowObject(), nullptr);
  EXPECT_EQ(newer.getRowObject()->getSerialColNum(), 0);
  EXPECT_TRUE(logged.empty());
}

TEST_F(DbTableTest, EnrolsInItsTransactionAndLeavesWhenDestroyed) {
  DBtran tran;
  {
    SMArray array(&tran);
    SMControlHost host(&tran);
    EXPECT_EQ(tran.getObjects(), (std::vector<DBtable*>{&array, &host}));
    EXPECT_EQ(array.getTransaction(), &tran);
  }
  EXPECT_TRUE(tran.getObjects().empty());
  EXPECT_TRUE(logged.empty());
}

TEST_F(DbTableTest, FailedEnrolmentIsLoggedAndConstructionGoesOn) {
  DBtran tran;
  ASSERT_EQ(tran.begin(), 0);
  ASSERT_EQ(tran.commit(), 0);
  EXPECT_EQ(conn.texts, (std::vector<std::string>{"BEGIN TRANSACTION", "COMMIT TRANSACTION"}));
  SMArrayCtrlHostMap map(&tran);  // an ended transaction refuses new members
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("sm_array_ctrl_host_map.cc("), std::string::npos) << logged[0];
  EXPECT_NE(logged[0].find("SMArrayCtrlHostMap Constructor [0x"), std::string::npos) << logged[0];
  EXPECT_NE(logged[0].find("], caught an exception"), std::string::npos) << logged[0];
  EXPECT_TRUE(tran.getObjects().empty());
  EXPECT_EQ(map.getName(), "SMArrayCtrlHostMap");
}

TEST_F(DbTableTest, GetOneRowSelectsAndFillsTheRecord) {
  SMArray array(nullptr);
  array.setWhere("ArrayName = '%s'", "arr1");
  conn.rows = {arrayRow(12, "arr1"), arrayRow(13, "arr1")};
  ASSERT_EQ(getOneRow(&array, false, -1, 0), 0);
  ASSERT_EQ(conn.texts.size(), 1u);
  EXPECT_EQ(conn.texts[0],
            "SELECT " + array.getColumnList() + " FROM SMArray WHERE ArrayName = 'arr1' ORDER BY Id");
  EXPECT_EQ(array.getDataPtr()->Id, 12);
  EXPECT_EQ(array.getDataPtr()->ClientId, 7);
  EXPECT_STREQ(array.getDataPtr()->ArrayName, "arr1");
  EXPECT_EQ(array.getDataPtr()->TotalSpaceMB, 1LL << 35);
  EXPECT_EQ(array.getDataPtr()->Properties, nullptr);
  EXPECT_GE(conn.closes, 1);
  // The older binding style never hands the indicator array to the connection.
  EXPECT_TRUE(conn.indicatorHistory.empty());

  EXPECT_EQ(getOneRow(&array, false, -1, 0), 100);
}

TEST_F(DbTableTest, GetNextRowCountsRowsUntilTheEnd) {
  DBtable::b_newDBBase = true;
  SMArrayCtrlHostMap map(nullptr);
  Row row(SMArrayCtrlHostMap::kColumnCount, Cell::ofNull());
  std::vector<Row> rows;
  for (int id = 1; id <= 3; ++id) {
    row[0] = Cell::of(id);
    rows.push_back(row);
  }
  conn.rows = rows;
  int counter = 0;
  std::vector<int> ids;
  int result = 0;
  while ((result = getNextRow(&map, &counter, -1, 0)) == 0) ids.push_back(map.getDataPtr()->Id);
  EXPECT_EQ(result, 100);
  EXPECT_EQ(counter, 3);
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(conn.texts.size(), 1u) << "one statement for the whole sequence";
  // The newer style hands the indicators over for the sequence and takes them back after.
  ASSERT_EQ(conn.indicatorHistory.size(), 2u);
  EXPECT_EQ(conn.indicatorHistory[0], map.getIndicatorArray());
  EXPECT_EQ(conn.indicatorHistory[1], nullptr);
  EXPECT_EQ(static_cast<std::int64_t*>(map.getIndicatorArray())[1], -1);  // ArrayId was NULL
  // The row object saw the values too.
  EXPECT_EQ(dynamic_cast<RKDB_int*>(map.getRowObject()->getColumn("Id"))->getData(), 3);
}

TEST_F(DbTableTest, ProcedureNewerStyleBindsBothInputs) {
  DBtable::b_newDBBase = true;
  AppIfaUpgrade_UninstalledClients procedure(nullptr);
  procedure.setValues(2, 0);
  EXPECT_TRUE(procedure.hasBoundInputs());
  conn.rows = {Row{Cell::of(0), Cell::ofText("c1"), Cell::of(3), Cell::of(4), Cell::of(5),
                   Cell::ofText("failed here")}};
  ASSERT_EQ(getOneRow(&procedure, false, -1, 0), 0);
  EXPECT_EQ(conn.texts.back(), "EXEC AppIfaUpgrade_UninstalledClients ?, ?");
  ASSERT_EQ(conn.params.back().size(), 2u);
  EXPECT_EQ(conn.params.back()[0].integer, 2);
  EXPECT_EQ(conn.params.back()[1].integer, 0);
  EXPECT_EQ(conn.params.back()[0].type, SQLParam::Type::kInt32);
  EXPECT_EQ(procedure.getDataPtr()->clientId, 0);
  EXPECT_STREQ(procedure.getDataPtr()->errString, "failed here");
  EXPECT_EQ(procedure.getDataPtr()->errCode, 5);

  conn.dbms = "PostgreSQL";
  procedure.setValues(0, 0);
  getOneRow(&procedure, false, -1, 0);
  EXPECT_EQ(conn.texts.back(),
            "SELECT " + procedure.getColumnList() + " FROM AppIfaUpgrade_UninstalledClients(?, ?)");
}

TEST_F(DbTableTest, ProcedureOlderStyleWritesAFreshValuesClause) {
  AppIfaUpgrade_UninstalledClients procedure(nullptr);
  procedure.setValues(0, 0);
  procedure.setValues(2, 0);
  EXPECT_EQ(procedure.getValuesClause(), "2,0");
  EXPECT_FALSE(procedure.hasBoundInputs());
  EXPECT_EQ(getOneRow(&procedure, false, -1, 0), 100);
  EXPECT_EQ(conn.texts.back(), "EXEC AppIfaUpgrade_UninstalledClients 2,0");
  EXPECT_TRUE(conn.params.back().empty());
}

TEST_F(DbTableTest, InsertBindsEveryColumnButTheSerialAndReadsItBack) {
  SMArray array(nullptr);
  SMArray_t* record = array.getDataPtr();
  record->ClientId = 9;
  copyRecordText(record->ArrayName, sizeof(record->ArrayName), "it's mine");
  record->OrigFLId = 2;
  DB_DATETIME now;
  ASSERT_EQ(DBodbcDate(1700000000L, now, false), 1);
  record->CreationTime = now;
  record->UpdateTime = now;
  conn.singleInt = 41;
  ASSERT_EQ(array.rowInsert(true), 0) << array.getErrorStr(array.rowInsert(true));
  const std::string& text = conn.texts[0];
  EXPECT_EQ(text.find("INSERT INTO SMArray (ClientId, ArrayName, SoftState"), 0u) << text;
  EXPECT_NE(text.find(") OUTPUT INSERTED.Id VALUES (?, ?"), std::string::npos) << text;
  EXPECT_EQ(text.find("(Id,"), std::string::npos) << "the serial column is not inserted";
  EXPECT_EQ(text.find(" Id,"), std::string::npos) << "the serial column is not inserted";
  const std::vector<SQLParam>& p = conn.params[0];
  ASSERT_EQ(p.size(), 29u);
  EXPECT_EQ(p[0].integer, 9);
  EXPECT_EQ(p[1].text, "it's mine");  // a bound value, quotes and all
  EXPECT_EQ(p[17].type, SQLParam::Type::kTimestamp);
  EXPECT_EQ(p[17].timestamp.year, 2023);
  EXPECT_EQ(p[17].timestamp.month, 11);
  EXPECT_TRUE(p[19].isNull) << "a cleared DeleteTime is NULL";
  EXPECT_TRUE(p[21].isNull) << "no Properties text is NULL";
  EXPECT_EQ(p[22].integer, 2);
  EXPECT_EQ(record->Id, 41);
}

TEST_F(DbTableTest, InsertReadsTheSerialSeparatelyOnSqliteAndRefusesUnknownDatabases) {
  SMArrayCtrlHostMap map(nullptr);
  conn.dbms = "SQLite";
  conn.singleInt = 5;
  ASSERT_EQ(map.rowInsert(true), 0);
  ASSERT_EQ(conn.texts.size(), 2u);
  EXPECT_EQ(conn.texts[1], "SELECT last_insert_rowid()");
  EXPECT_EQ(map.getDataPtr()->Id, 5);

  conn.dbms = "SomethingElse";
  conn.texts.clear();
  const int status = map.rowInsert(true);
  EXPECT_EQ(status, DBT_SERIAL_FAILED);
  EXPECT_TRUE(conn.texts.empty()) << "nothing inserted when the serial cannot be read back";
  EXPECT_NE(map.getErrorStr(status).find("SomethingElse"), std::string::npos);
  EXPECT_EQ(map.rowInsert(false), 0);
}

TEST_F(DbTableTest, UpdateUsesTheWhereClauseAndReportsFailures) {
  SMControlHost host(nullptr);
  host.setWhere("ControlHostId = %lu ", 3ul);
  EXPECT_EQ(host.rowUpdate("ClientId = %lu", 5ul), 0);
  EXPECT_EQ(conn.texts.back(), "UPDATE SMControlHost SET ClientId = 5 WHERE ControlHostId = 3 ");
  conn.failExecute = true;
  const int status = host.rowUpdate("ClientId = %lu", 6ul);
  EXPECT_EQ(status, DBT_STATEMENT_FAILED);
  EXPECT_EQ(host.getErrorStr(status), "The statement failed: scripted failure");
  EXPECT_EQ(getOneRow(&host, false, -1, 0), DBT_STATEMENT_FAILED);
}

TEST_F(DbTableTest, NoConnectionIsAnErrorNotACrash) {
  DBtable::setCurrentConnection(nullptr);
  SMArray array(nullptr);
  int counter = 0;
  EXPECT_EQ(getOneRow(&array, false, -1, 0), DBT_NO_CONNECTION);
  EXPECT_EQ(getNextRow(&array, &counter, -1, 0), DBT_NO_CONNECTION);
  EXPECT_EQ(array.rowInsert(true), DBT_NO_CONNECTION);
  EXPECT_EQ(array.rowUpdate("a = 1"), DBT_NO_CONNECTION);
  EXPECT_EQ(array.getErrorStr(DBT_NO_CONNECTION), "No current database connection");
  EXPECT_EQ(getOneRow(nullptr, false, -1, 0), DBT_BAD_TABLE);
  EXPECT_EQ(counter, 0);
}

TEST_F(DbTableTest, TransactionTextsFollowTheDialect) {
  conn.dbms = "SQLite";
  {
    DBtran tran;
    EXPECT_EQ(tran.commit(), 1) << "nothing to commit yet";
    ASSERT_EQ(tran.begin(), 0);
    EXPECT_TRUE(tran.isActive());
  }  // destroyed while open: rolled back
  EXPECT_EQ(conn.texts, (std::vector<std::string>{"BEGIN", "ROLLBACK"}));
}

TEST(DbOdbcDate, ConvertsUtcAndRejectsTheUnconvertible) {
  DB_DATETIME date;
  ASSERT_EQ(DBodbcDate(0L, date, false), 1);
  EXPECT_EQ(date.timestamp.year, 1970);
  EXPECT_EQ(date.timestamp.month, 1);
  EXPECT_EQ(date.timestamp.day, 1);
  EXPECT_STREQ(date.area, "1970-01-01 00:00:00");
  ASSERT_EQ(DBodbcDate(951827696L, date, false), 1);  // 2000-02-29 12:34:56 UTC
  EXPECT_EQ(date.timestamp.day, 29);
  EXPECT_EQ(date.timestamp.hour, 12);
  EXPECT_EQ(date.timestamp.minute, 34);
  EXPECT_EQ(date.timestamp.second, 56);
  EXPECT_EQ(date.flag, 0);
  EXPECT_EQ(DBodbcDate(static_cast<long>(1e15), date, false), 0);
  EXPECT_EQ(date.timestamp, RKTIMESTAMP_STRUCT{});
}

}  // namespace
}  // namespace zarezodud
