// CREATE TABLE statements for the three storage-array tables in SQLite's dialect (serial
// columns as INTEGER PRIMARY KEY AUTOINCREMENT). Constants only; thread-safe.
#ifndef ZAREZODUD_TESTS_SUPPORT_STORAGE_TABLES_SQL_H
#define ZAREZODUD_TESTS_SUPPORT_STORAGE_TABLES_SQL_H

namespace ztest {

inline const char* const kCreateSMArray =
    "CREATE TABLE SMArray (Id INTEGER PRIMARY KEY AUTOINCREMENT, ClientId INTEGER, ArrayName VARCHAR(1024), "
    "SoftState INTEGER, IsEnabled INTEGER, IsActive INTEGER, BrokenCode INTEGER, ReasonCode INTEGER, Flags "
    "INTEGER, "
    "TotalSpaceMB BIGINT, FreeSpaceMB BIGINT, LoginName VARCHAR(1024), LoginPassword VARCHAR(2048), "
    "UniqueID VARCHAR(255), SerialNumber VARCHAR(255), ProductOSVersion VARCHAR(255), "
    "ProductFirmwareVersion VARCHAR(255), ProductModel VARCHAR(255), CreationTime TIMESTAMP, UpdateTime "
    "TIMESTAMP, "
    "DeleteTime TIMESTAMP, AdminConsole VARCHAR(1024), Properties TEXT, OrigFLId INTEGER, GUID VARCHAR(64), "
    "ReserveField1 INTEGER, ReserveField2 INTEGER, ReserveField3 INTEGER, ReserveField4 INTEGER, "
    "ReserveFieldStr VARCHAR(255))";
inline const char* const kCreateSMArrayCtrlHostMap =
    "CREATE TABLE SMArrayCtrlHostMap (Id INTEGER PRIMARY KEY AUTOINCREMENT, ArrayId INTEGER, ControlHostId "
    "INTEGER, "
    "Flags INTEGER, CreationTime TIMESTAMP, DeleteTime TIMESTAMP, ReserveField1 INTEGER, ReserveField2 "
    "INTEGER, "
    "ReserveField3 INTEGER, ReserveField4 INTEGER, ReserveFieldStr VARCHAR(255))";
inline const char* const kCreateSMControlHost =
    "CREATE TABLE SMControlHost (ControlHostId INTEGER PRIMARY KEY AUTOINCREMENT, SnapShotEngineId INTEGER, "
    "SnapVendorName VARCHAR(128), SMArrayId VARCHAR(1024), SMHostIP VARCHAR(1024), SMHostName VARCHAR(1024), "
    "SMHostPortNumber INTEGER, SMHostUserName VARCHAR(1024), SMHostPassword VARCHAR(2048), SMHostFlags "
    "INTEGER, "
    "SMHostStatus INTEGER, SMHostDescription VARCHAR(1024), SnapShotEngineName VARCHAR(1024), "
    "DeviceGroupName VARCHAR(1024), SMHostOption INTEGER, SourceId INTEGER, OrigFLId INTEGER, GUID "
    "VARCHAR(64), "
    "ReserveField1 INTEGER, ReserveField2 INTEGER, ReserveFieldStr VARCHAR(255), ClientId INTEGER, "
    "SoftState INTEGER, IsEnabled INTEGER, IsActive INTEGER, BrokenCode INTEGER, ReasonCode INTEGER, Flags "
    "BIGINT, "
    "AdminConsole VARCHAR(1024), Properties TEXT, ReserveField3 INTEGER, ReserveField4 INTEGER, GroupingId "
    "BIGINT, "
    "UniqueIdentifier VARCHAR(1024), CreatedTime TIMESTAMP, ModifiedTime TIMESTAMP, CredentialId INTEGER)";

}  // namespace ztest

#endif
