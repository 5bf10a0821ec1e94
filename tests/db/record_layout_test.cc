#include "db/rows/record_layout.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "db/rows/app_client.h"
#include "db/rows/app_ifa_upgrade_uninstalled_clients.h"
#include "db/rows/record_text.h"
#include "db/rows/rkdb_data_types.h"
#include "db/rows/sm_array.h"
#include "db/rows/sm_array_ctrl_host_map.h"
#include "db/rows/sm_control_host.h"

namespace zarezodud {
namespace {

std::vector<std::size_t> offsetsOf(const RecordLayout& layout) {
  std::vector<std::size_t> offsets;
  for (const RecordLayout::Field& field : layout.fields()) offsets.push_back(field.offset);
  return offsets;
}

template <class Row>
RecordLayout layoutOf() {
  return RecordLayout(rkdbSchemaText(Row::definition().columns));
}

// The client-record table has no row class: its schema text is written by hand.
TEST(RecordLayout, MatchesTheClientRecord) {
  using C = APP_Client_t;
  const RecordLayout client{std::string(APP_Client::kSchema)};
  EXPECT_EQ(offsetsOf(client),
            (std::vector<std::size_t>{offsetof(C, id), offsetof(C, name), offsetof(C, password)}));
  EXPECT_EQ(client.fields()[1].size, sizeof(C::name));
  EXPECT_EQ(client.recordSize(), sizeof(C));
}

// The layout computed from each schema must match where the compiler put every field.
TEST(RecordLayout, MatchesTheRecordStructs) {
  using P = AppIfaUpgrade_UninstalledClients_t;
  const RecordLayout procedure = layoutOf<AppIfaUpgrade_UninstalledClients_t2>();
  EXPECT_EQ(offsetsOf(procedure),
            (std::vector<std::size_t>{offsetof(P, clientId), offsetof(P, clientName),
                                      offsetof(P, simOperatingSystemId), offsetof(P, releaseId),
                                      offsetof(P, errCode), offsetof(P, errString)}));
  EXPECT_EQ(procedure.recordSize(), sizeof(P));

  using A = SMArray_t;
  const RecordLayout array = layoutOf<SMArray_t2>();
  EXPECT_EQ(offsetsOf(array), (std::vector<std::size_t>{offsetof(A, Id),
                                                        offsetof(A, ClientId),
                                                        offsetof(A, ArrayName),
                                                        offsetof(A, SoftState),
                                                        offsetof(A, IsEnabled),
                                                        offsetof(A, IsActive),
                                                        offsetof(A, BrokenCode),
                                                        offsetof(A, ReasonCode),
                                                        offsetof(A, Flags),
                                                        offsetof(A, TotalSpaceMB),
                                                        offsetof(A, FreeSpaceMB),
                                                        offsetof(A, LoginName),
                                                        offsetof(A, LoginPassword),
                                                        offsetof(A, UniqueID),
                                                        offsetof(A, SerialNumber),
                                                        offsetof(A, ProductOSVersion),
                                                        offsetof(A, ProductFirmwareVersion),
                                                        offsetof(A, ProductModel),
                                                        offsetof(A, CreationTime),
                                                        offsetof(A, UpdateTime),
                                                        offsetof(A, DeleteTime),
                                                        offsetof(A, AdminConsole),
                                                        offsetof(A, Properties),
                                                        offsetof(A, OrigFLId),
                                                        offsetof(A, GUID),
                                                        offsetof(A, ReserveField1),
                                                        offsetof(A, ReserveField2),
                                                        offsetof(A, ReserveField3),
                                                        offsetof(A, ReserveField4),
                                                        offsetof(A, ReserveFieldStr)}));
  EXPECT_EQ(array.recordSize(), sizeof(A));

  using M = SMArrayCtrlHostMap_t;
  const RecordLayout map = layoutOf<SMArrayCtrlHostMap_t2>();
  EXPECT_EQ(offsetsOf(map),
            (std::vector<std::size_t>{offsetof(M, Id), offsetof(M, ArrayId), offsetof(M, ControlHostId),
                                      offsetof(M, Flags), offsetof(M, CreationTime), offsetof(M, DeleteTime),
                                      offsetof(M, ReserveField1), offsetof(M, ReserveField2),
                                      offsetof(M, ReserveField3), offsetof(M, ReserveField4),
                                      offsetof(M, ReserveFieldStr)}));
  EXPECT_EQ(map.recordSize(), sizeof(M));

  using H = SMControlHost_t;
  const RecordLayout host = layoutOf<SMControlHost_t2>();
  EXPECT_EQ(offsetsOf(host),
            (std::vector<std::size_t>{offsetof(H, ControlHostId),      offsetof(H, SnapShotEngineId),
                                      offsetof(H, SnapVendorName),     offsetof(H, SMArrayId),
                                      offsetof(H, SMHostIP),           offsetof(H, SMHostName),
                                      offsetof(H, SMHostPortNumber),   offsetof(H, SMHostUserName),
                                      offsetof(H, SMHostPassword),     offsetof(H, SMHostFlags),
                                      offsetof(H, SMHostStatus),       offsetof(H, SMHostDescription),
                                      offsetof(H, SnapShotEngineName), offsetof(H, DeviceGroupName),
                                      offsetof(H, SMHostOption),       offsetof(H, SourceId),
                                      offsetof(H, OrigFLId),           offsetof(H, GUID),
                                      offsetof(H, ReserveField1),      offsetof(H, ReserveField2),
                                      offsetof(H, ReserveFieldStr),    offsetof(H, ClientId),
                                      offsetof(H, SoftState),          offsetof(H, IsEnabled),
                                      offsetof(H, IsActive),           offsetof(H, BrokenCode),
                                      offsetof(H, ReasonCode),         offsetof(H, Flags),
                                      offsetof(H, AdminConsole),       offsetof(H, Properties),
                                      offsetof(H, ReserveField3),      offsetof(H, ReserveField4),
                                      offsetof(H, GroupingId),         offsetof(H, UniqueIdentifier),
                                      offsetof(H, CreatedTime),        offsetof(H, ModifiedTime),
                                      offsetof(H, CredentialId)}));
  EXPECT_EQ(host.recordSize(), sizeof(H));
}

TEST(RecordLayout, RejectsUnknownCodes) {
  const RecordLayout bad("i|q|");
  EXPECT_FALSE(bad.valid());
  EXPECT_NE(bad.error().find("[q]"), std::string::npos);
  EXPECT_TRUE(bad.fields().empty());
  EXPECT_FALSE(RecordLayout("u0|").valid());
  EXPECT_FALSE(RecordLayout("s12a|").valid());
  EXPECT_TRUE(RecordLayout("x|").valid());
}

// Value objects in the schema's order for the array record.
struct ArrayValues {
  SMArray_t2 row;
  std::vector<RKDBDataTypeBase*> values = row.getData();
  template <class T>
  T* at(const char* name) {
    return dynamic_cast<T*>(row.getColumn(name));
  }
};

TEST(RecordLayout, ValuesToRecordAppliesNullRulesAndCutsText) {
  ArrayValues v;
  v.at<RKDB_int>("Id")->setValue(17);
  v.at<RKDB___int64>("FreeSpaceMB")->setValue(1LL << 40);
  v.at<RKDB_string>("ArrayName")->setValue(std::string(5000, 'a'));
  v.at<RKDB_string>("GUID")->setValue("guid");
  v.at<RKDB_string>("Properties")->setValue("<p/>");
  RKTIMESTAMP_STRUCT ts;
  ts.year = 2025;
  ts.month = 6;
  ts.day = 1;
  v.at<RKDB_datetime>("UpdateTime")->setValue(ts);

  auto record = std::make_unique<SMArray_t>();
  record->ClientId = 99;  // a NULL value object turns this back to 0
  record->CreationTime.timestamp.year = 1990;
  const RecordLayout layout(v.row.getStructDef());
  layout.valuesToRecord(v.values, record.get());
  EXPECT_EQ(record->Id, 17);
  EXPECT_EQ(record->ClientId, 0);
  EXPECT_EQ(record->FreeSpaceMB, 1LL << 40);
  EXPECT_EQ(std::string(record->ArrayName), std::string(4096, 'a'));
  EXPECT_STREQ(record->GUID, "guid");
  ASSERT_NE(record->Properties, nullptr);
  EXPECT_STREQ(record->Properties, "<p/>");
  EXPECT_EQ(record->UpdateTime.timestamp, ts);
  EXPECT_EQ(record->CreationTime.timestamp, RKTIMESTAMP_STRUCT{});

  // A NULL heap text releases the record's text.
  v.at<RKDB_string>("Properties")->setInternalNull(true);
  layout.valuesToRecord(v.values, record.get());
  EXPECT_EQ(record->Properties, nullptr);
}

TEST(RecordLayout, RecordToValuesMakesClearedDatesAndMissingHeapTextNull) {
  auto record = std::make_unique<SMArray_t>();
  record->Id = 5;
  record->TotalSpaceMB = -3;
  copyRecordText(record->LoginName, sizeof(record->LoginName), "admin");
  record->CreationTime.timestamp.year = 2020;
  ArrayValues v;
  const RecordLayout layout(v.row.getStructDef());
  layout.recordToValues(record.get(), v.values);
  EXPECT_EQ(v.at<RKDB_int>("Id")->getData(), 5);
  EXPECT_FALSE(v.at<RKDB_int>("ClientId")->isNull());  // integers are never NULL from a record
  EXPECT_EQ(v.at<RKDB___int64>("TotalSpaceMB")->getData(), -3);
  EXPECT_EQ(v.at<RKDB_string>("LoginName")->getData(), "admin");
  EXPECT_FALSE(v.at<RKDB_string>("UniqueID")->isNull());
  EXPECT_EQ(v.at<RKDB_datetime>("CreationTime")->getData().year, 2020);
  EXPECT_TRUE(v.at<RKDB_datetime>("DeleteTime")->isNull());
  EXPECT_TRUE(v.at<RKDB_string>("Properties")->isNull());

  // Wrong value count: nothing is touched.
  std::vector<RKDBDataTypeBase*> tooFew(v.values.begin(), v.values.begin() + 3);
  record->Id = 77;
  layout.recordToValues(record.get(), tooFew);
  EXPECT_EQ(v.at<RKDB_int>("Id")->getData(), 5);
}

}  // namespace
}  // namespace zarezodud
