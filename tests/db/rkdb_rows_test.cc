#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "db/rows/app_ifa_upgrade_uninstalled_clients.h"
#include "db/rows/rkdb_data_types.h"
#include "db/rows/sm_array.h"
#include "db/rows/sm_array_ctrl_host_map.h"
#include "db/rows/sm_control_host.h"

namespace zarezodud {
namespace {

using Names = std::vector<std::string>;

const Names kProcedureColumns = {"clientId",  "clientName", "simOperatingSystemId",
                                 "releaseId", "errCode",    "errString"};
const Names kArrayColumns = {"Id",
                             "ClientId",
                             "ArrayName",
                             "SoftState",
                             "IsEnabled",
                             "IsActive",
                             "BrokenCode",
                             "ReasonCode",
                             "Flags",
                             "TotalSpaceMB",
                             "FreeSpaceMB",
                             "LoginName",
                             "LoginPassword",
                             "UniqueID",
                             "SerialNumber",
                             "ProductOSVersion",
                             "ProductFirmwareVersion",
                             "ProductModel",
                             "CreationTime",
                             "UpdateTime",
                             "DeleteTime",
                             "AdminConsole",
                             "Properties",
                             "OrigFLId",
                             "GUID",
                             "ReserveField1",
                             "ReserveField2",
                             "ReserveField3",
                             "ReserveField4",
                             "ReserveFieldStr"};
const Names kMapColumns = {"Id",
                           "ArrayId",
                           "ControlHostId",
                           "Flags",
                           "CreationTime",
                           "DeleteTime",
                           "ReserveField1",
                           "ReserveField2",
                           "ReserveField3",
                           "ReserveField4",
                           "ReserveFieldStr"};
const Names kControlHostColumns = {"ControlHostId",      "SnapShotEngineId",
                                   "SnapVendorName",     "SMArrayId",
                                   "SMHostIP",           "SMHostName",
                                   "SMHostPortNumber",   "SMHostUserName",
                                   "SMHostPassword",     "SMHostFlags",
                                   "SMHostStatus",       "SMHostDescription",
                                   "SnapShotEngineName", "DeviceGroupName",
                                   "SMHostOption",       "SourceId",
                                   "OrigFLId",           "GUID",
                                   "ReserveField1",      "ReserveField2",
                                   "ReserveFieldStr",    "ClientId",
                                   "SoftState",          "IsEnabled",
                                   "IsActive",           "BrokenCode",
                                   "ReasonCode",         "Flags",
                                   "AdminConsole",       "Properties",
                                   "ReserveField3",      "ReserveField4",
                                   "GroupingId",         "UniqueIdentifier",
                                   "CreatedTime",        "ModifiedTime",
                                   "CredentialId"};

// Type codes of a row's value objects, in column order.
std::vector<int> typeCodes(RKDBRowBase& row) {
  std::vector<int> codes;
  for (RKDBDataTypeBase* value : row.getData()) codes.push_back(value->getDataType());
  return codes;
}

// Type codes that a schema text calls for.
std::vector<int> codesOfSchema(const std::string& schema) {
  std::vector<int> codes;
  std::size_t start = 0;
  for (std::size_t bar = schema.find('|'); bar != std::string::npos; bar = schema.find('|', start)) {
    const char kind = schema[start];
    codes.push_back(kind == 'i' ? 1 : kind == 'b' ? 4 : kind == 't' ? 5 : 6);
    start = bar + 1;
  }
  return codes;
}

template <class Row>
Names columnNamesThroughRow(Row& row) {
  Names names;
  for (int i = 0; i < static_cast<int>(Row::staticColumnNames().size()); ++i)
    names.push_back(row.getColumnName(i));
  return names;
}

TEST(GeneratedRows, ProcedureSchemaAndKeys) {
  AppIfaUpgrade_UninstalledClients_t2 row;
  EXPECT_EQ(row.getStructDef(), "i|s511|i|i|i|s2049|");
  EXPECT_EQ(row.getTableName(), "AppIfaUpgrade_UninstalledClients");
  EXPECT_EQ(row.getHeaderType(), 2);
  EXPECT_EQ(columnNamesThroughRow(row), kProcedureColumns);
  EXPECT_EQ(typeCodes(row), codesOfSchema(row.getStructDef()));
  EXPECT_EQ(row.getSerialColNum(), -1);
  EXPECT_EQ(row.getPrimaryWhere(), "");
  EXPECT_TRUE(row.getPrimaryData().empty());
  EXPECT_TRUE(row.getForeignKeyMap().empty());
  EXPECT_TRUE(row.getRowFlag());
}

TEST(GeneratedRows, SMArraySchemaAndKeys) {
  SMArray_t2 row;
  EXPECT_EQ(row.getStructDef(),
            "i|i|u4097|i|i|i|i|i|i|b|b|u4097|u8193|u1021|u1021|u1021|u1021|u1021|t|t|t|u4097|s|i|s65|i|i|i|i|"
            "u1021|");
  EXPECT_EQ(row.getTableName(), "SMArray");
  EXPECT_EQ(row.getHeaderType(), 1);
  EXPECT_EQ(columnNamesThroughRow(row), kArrayColumns);
  EXPECT_EQ(row.getData().size(), 30u);
  EXPECT_EQ(typeCodes(row), codesOfSchema(row.getStructDef()));
  EXPECT_EQ(row.getSerialColNum(), 0);
  EXPECT_EQ(row.getPrimaryWhere(), "Id = ?");
  ASSERT_EQ(row.getPrimaryData().size(), 1u);
  EXPECT_EQ(row.getPrimaryData()[0], row.getColumn("Id"));
  EXPECT_EQ(row.getForeignKeyMap(), (RKDBForeignKeyMap{{"APP_Client", {{"ClientId", "id"}}}}));
  EXPECT_EQ(row.getColumn("Flags")->getDataType(), 1);
  EXPECT_EQ(row.getColumn("TotalSpaceMB")->getDataType(), 4);
}

TEST(GeneratedRows, SMArrayCtrlHostMapSchemaAndKeys) {
  SMArrayCtrlHostMap_t2 row;
  EXPECT_EQ(row.getStructDef(), "i|i|i|i|t|t|i|i|i|i|u1021|");
  EXPECT_EQ(row.getTableName(), "SMArrayCtrlHostMap");
  EXPECT_EQ(row.getHeaderType(), 1);
  EXPECT_EQ(columnNamesThroughRow(row), kMapColumns);
  EXPECT_EQ(typeCodes(row), codesOfSchema(row.getStructDef()));
  EXPECT_EQ(row.getSerialColNum(), 0);
  EXPECT_EQ(row.getPrimaryWhere(), "Id = ?");
  EXPECT_EQ(row.getForeignKeyMap(),
            (RKDBForeignKeyMap{{"SMArray", {{"ArrayId", "Id"}}},
                               {"SMControlHost", {{"ControlHostId", "ControlHostId"}}}}));
}

TEST(GeneratedRows, SMControlHostSchemaAndKeys) {
  SMControlHost_t2 row;
  EXPECT_EQ(
      row.getStructDef(),
      "i|i|u513|u4097|u4097|u4097|i|u4097|u8193|i|i|u4097|u4097|u4097|i|i|i|s65|i|i|u1021|i|i|i|i|i|i|b|"
      "u4097|s|i|i|b|u4097|t|t|i|");
  EXPECT_EQ(row.getTableName(), "SMControlHost");
  EXPECT_EQ(row.getHeaderType(), 1);
  EXPECT_EQ(columnNamesThroughRow(row), kControlHostColumns);
  EXPECT_EQ(typeCodes(row), codesOfSchema(row.getStructDef()));
  EXPECT_EQ(row.getSerialColNum(), 0);
  EXPECT_EQ(row.getPrimaryWhere(), "ControlHostId = ?");
  EXPECT_EQ(row.getPrimaryKeys(), (Names{"ControlHostId"}));
  EXPECT_EQ(row.getForeignKeyMap(), (RKDBForeignKeyMap{{"APP_Client", {{"ClientId", "id"}}}}));
  EXPECT_EQ(row.getColumn("Flags")->getDataType(), 4);
  EXPECT_EQ(row.getColumn("SMArrayId")->getDataType(), 6);
}

TEST(GeneratedRows, LaterRowsShareTheSchemaButGetTheirOwnValuesAndKeys) {
  SMArray_t2 first;
  SMArray_t2 second;
  EXPECT_EQ(SMArray_t2::staticColumnNames().size(), 30u);
  EXPECT_EQ(second.getPrimaryKeys(), (Names{"Id"}));
  EXPECT_EQ(second.getSerialColName(), "Id");
  EXPECT_NE(first.getColumn("Id"), second.getColumn("Id"));
  EXPECT_TRUE(first.getColumn("ArrayName")->isNull());
  EXPECT_EQ(first.getColumnName(-1), "");
  EXPECT_EQ(first.getColumnName(30), "");
  EXPECT_EQ(first.getColumn("NoSuchColumn"), nullptr);
}

// A row class of a made-up table with a two-column key and an 'x' column.
class TwoKeyRow_t2 : public RKDBGeneratedRow<TwoKeyRow_t2> {
 public:
  static const RKDBTableDef& definition() {
    static const RKDBTableDef def{"TwoKey", 1,          "Table TwoKey",
                                  nullptr,  nullptr,    {{"A", "i"}, {"B", "x"}, {"C", "t"}},
                                  nullptr,  {"B", "A"}, {}};
    return def;
  }
};

TEST(GeneratedRows, XColumnsAreStoredAsBigIntegersAndKeysJoinWithAnd) {
  TwoKeyRow_t2 row;
  EXPECT_EQ(row.getStructDef(), "i|b|t|");
  EXPECT_EQ(row.getColumn("B")->getDataType(), 4);
  EXPECT_EQ(row.getPrimaryWhere(), "B = ?AND A = ?");
  const std::vector<RKDBDataTypeBase*> keys = row.getPrimaryData();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0], row.getColumn("B"));
  EXPECT_EQ(keys[1], row.getColumn("A"));
  EXPECT_EQ(row.getSerialColNum(), -1);
}

TEST(RowBase, FillForTimeAndWhereText) {
  EXPECT_EQ(RKDBRowBase::fillForTime("x|i|xx|s|"), "b|i|bb|s|");
  EXPECT_EQ(RKDBRowBase::fillForTime(nullptr), "");
  EXPECT_EQ(RKDBRowBase::buildPrimaryWhere({}), "");
  EXPECT_EQ(RKDBRowBase::buildPrimaryWhere({"K1", "K2", "K3"}), "K1 = ?AND K2 = ?AND K3 = ?");
}

TEST(RowBase, BaseAnswersAndAssignmentLeaveRowsAlone) {
  SMArray_t2 row;
  SMArray_t2 other;
  RKDBRowBase& base = row;
  static_cast<RKDBDataTypeBase*>(other.getColumn("Id"))->setInternalNull(false);
  base = other;
  EXPECT_TRUE(row.getColumn("Id")->isNull());
  EXPECT_FALSE(base.searchForeignKey("APP_Client"));
}

// Has 8 threads construct a row at once, with the schema forgotten before each round. In the
// first round the test holds the framework-wide semaphore while the threads start, so every
// one of them passes the unguarded flag test and queues on the semaphore: only the second test
// of the flag keeps the later ones from building the schema again. Later rounds run freely.
template <class Row>
void constructConcurrently(const Names& expected) {
  for (int round = 0; round < 10; ++round) {
    Row::resetSchemaForTesting();
    ASSERT_FALSE(Row::isSchemaInitialized());
    const bool queueOnSemaphore = round == 0;
    if (queueOnSemaphore) RKDBRowBase::s_semColumnVec.wait();
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([&] {
        ++ready;
        while (!go.load()) std::this_thread::yield();
        Row row;
        EXPECT_EQ(row.getData().size(), expected.size());
      });
    }
    while (ready.load() < 8) std::this_thread::yield();
    go = true;
    if (queueOnSemaphore) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      EXPECT_FALSE(Row::isSchemaInitialized());
      RKDBRowBase::s_semColumnVec.release(1);
    }
    for (auto& thread : threads) thread.join();
    ASSERT_EQ(Row::staticColumnNames(), expected) << "round " << round;
  }
}

TEST(GeneratedRows, ConcurrentFirstConstructionBuildsEachSchemaOnce) {
  constructConcurrently<AppIfaUpgrade_UninstalledClients_t2>(kProcedureColumns);
  constructConcurrently<SMArray_t2>(kArrayColumns);
  constructConcurrently<SMArrayCtrlHostMap_t2>(kMapColumns);
  constructConcurrently<SMControlHost_t2>(kControlHostColumns);
  SMArrayCtrlHostMap_t2 row;
  EXPECT_EQ(row.getForeignKeyMap().size(), 2u);
  EXPECT_EQ(row.getStructDef(), "i|i|i|i|t|t|i|i|i|i|u1021|");
}

}  // namespace
}  // namespace zarezodud
