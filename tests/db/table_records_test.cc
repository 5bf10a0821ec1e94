#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <type_traits>

#include "db/rows/app_ifa_upgrade_uninstalled_clients.h"
#include "db/rows/record_text.h"
#include "db/rows/sm_array.h"
#include "db/rows/sm_array_ctrl_host_map.h"
#include "db/rows/sm_control_host.h"

namespace zarezodud {
namespace {

// Field types the callers depend on: like-named columns differ between the tables.
static_assert(std::is_same<decltype(SMArray_t::Flags), int>::value, "32-bit in SMArray");
static_assert(std::is_same<decltype(SMArrayCtrlHostMap_t::Flags), int>::value, "32-bit in the map");
static_assert(std::is_same<decltype(SMControlHost_t::Flags), long long>::value, "64-bit in SMControlHost");
static_assert(std::is_same<decltype(SMControlHost_t::SMArrayId), char[4097]>::value, "text");
static_assert(std::is_same<decltype(SMArray_t::Properties), char*>::value, "unbounded text");
static_assert(std::is_same<decltype(SMArray_t::TotalSpaceMB), long long>::value, "64-bit");
static_assert(std::is_same<decltype(SMArray_t::CreationTime), DB_DATETIME>::value, "date-time");
static_assert(sizeof(AppIfaUpgrade_UninstalledClients_t::clientName) == 511, "s511");
static_assert(sizeof(AppIfaUpgrade_UninstalledClients_t::errString) == 2049, "s2049");
static_assert(sizeof(SMArray_t::LoginPassword) == 8193, "u8193");
static_assert(sizeof(SMArray_t::GUID) == 65, "s65");
static_assert(sizeof(SMControlHost_t::SnapVendorName) == 513, "u513");
static_assert(sizeof(SMArrayCtrlHostMap_t::ReserveFieldStr) == 1021, "u1021");
static_assert(std::is_standard_layout<SMControlHost_t>::value, "plain record");

// Field order is checked field by field against the schema in record_layout_test.cc.

TEST(TableRecords, ConstructedEmpty) {
  auto array = std::make_unique<SMArray_t>();
  EXPECT_EQ(array->Id, 0);
  EXPECT_EQ(array->TotalSpaceMB, 0);
  EXPECT_EQ(array->ArrayName[0], '\0');
  EXPECT_EQ(array->ReserveFieldStr[0], '\0');
  EXPECT_EQ(array->Properties, nullptr);
  EXPECT_EQ(array->DeleteTime.timestamp, RKTIMESTAMP_STRUCT{});
  EXPECT_EQ(array->DeleteTime.flag, 0);

  auto host = std::make_unique<SMControlHost_t>();
  EXPECT_EQ(host->Flags, 0);
  EXPECT_EQ(host->CredentialId, 0);
  EXPECT_EQ(host->SMHostPassword[0], '\0');
  EXPECT_EQ(host->Properties, nullptr);

  AppIfaUpgrade_UninstalledClients_t procedure;
  EXPECT_EQ(procedure.errCode, 0);
  EXPECT_EQ(procedure.errString[0], '\0');

  SMArrayCtrlHostMap_t map;
  EXPECT_EQ(map.ControlHostId, 0);
  EXPECT_EQ(map.CreationTime.timestamp.year, 0);
}

TEST(TableRecords, HeapTextIsOwnedByTheRecord) {
  auto array = std::make_unique<SMArray_t>();
  replaceRecordHeapText(array->Properties, "<props a='1'/>");
  ASSERT_NE(array->Properties, nullptr);
  EXPECT_STREQ(array->Properties, "<props a='1'/>");
  replaceRecordHeapText(array->Properties, "second");  // the first array is released
  EXPECT_STREQ(array->Properties, "second");
  array.reset();  // the destructor releases the second (a leak would fail the sanitizer run)

  char* text = nullptr;
  replaceRecordHeapText(text, "x");
  replaceRecordHeapText(text, nullptr);
  EXPECT_EQ(text, nullptr);
}

TEST(TableRecords, BoundedTextCopyKeepsTheTerminator) {
  auto array = std::make_unique<SMArray_t>();
  const std::string longName(5000, 'n');
  copyRecordText(array->ArrayName, sizeof(array->ArrayName), longName.c_str());
  EXPECT_EQ(std::strlen(array->ArrayName), 4096u);

  char small[4] = {'a', 'b', 'c', 'd'};
  copyRecordText(small, sizeof(small), "wxyz");
  EXPECT_STREQ(small, "wxy");
  copyRecordText(small, sizeof(small), nullptr);
  EXPECT_STREQ(small, "");
  copyRecordText(small, 0, "ignored");
  EXPECT_STREQ(small, "");
}

}  // namespace
}  // namespace zarezodud
