#include "db/rows/sm_array.h"

#include "db/rows/record_text.h"

namespace zarezodud {

SMArray_t::SMArray_t() {
  Id = 0;
  ClientId = 0;
  copyRecordText(ArrayName, sizeof(ArrayName), "");
  SoftState = 0;
  IsEnabled = 0;
  IsActive = 0;
  BrokenCode = 0;
  ReasonCode = 0;
  Flags = 0;
  TotalSpaceMB = 0;
  FreeSpaceMB = 0;
  copyRecordText(LoginName, sizeof(LoginName), "");
  copyRecordText(LoginPassword, sizeof(LoginPassword), "");
  copyRecordText(UniqueID, sizeof(UniqueID), "");
  copyRecordText(SerialNumber, sizeof(SerialNumber), "");
  copyRecordText(ProductOSVersion, sizeof(ProductOSVersion), "");
  copyRecordText(ProductFirmwareVersion, sizeof(ProductFirmwareVersion), "");
  copyRecordText(ProductModel, sizeof(ProductModel), "");
  CreationTime.clear();
  UpdateTime.clear();
  DeleteTime.clear();
  copyRecordText(AdminConsole, sizeof(AdminConsole), "");
  Properties = nullptr;
  OrigFLId = 0;
  copyRecordText(GUID, sizeof(GUID), "");
  ReserveField1 = 0;
  ReserveField2 = 0;
  ReserveField3 = 0;
  ReserveField4 = 0;
  copyRecordText(ReserveFieldStr, sizeof(ReserveFieldStr), "");
}

SMArray_t::~SMArray_t() {
  delete[] Properties;
}

SMArray_t2::SMArray_t2() = default;

SMArray_t2::~SMArray_t2() = default;

const RKDBTableDef& SMArray_t2::definition() {
  static const RKDBTableDef def{
      "SMArray",
      1,
      "Table SMArray",
      "1.5.202.3",
      "Id",
      {
          {"Id", "i"},
          {"ClientId", "i"},
          {"ArrayName", "u4097"},
          {"SoftState", "i"},
          {"IsEnabled", "i"},
          {"IsActive", "i"},
          {"BrokenCode", "i"},
          {"ReasonCode", "i"},
          {"Flags", "i"},
          {"TotalSpaceMB", "b"},
          {"FreeSpaceMB", "b"},
          {"LoginName", "u4097"},
          {"LoginPassword", "u8193"},
          {"UniqueID", "u1021"},
          {"SerialNumber", "u1021"},
          {"ProductOSVersion", "u1021"},
          {"ProductFirmwareVersion", "u1021"},
          {"ProductModel", "u1021"},
          {"CreationTime", "t"},
          {"UpdateTime", "t"},
          {"DeleteTime", "t"},
          {"AdminConsole", "u4097"},
          {"Properties", "s"},
          {"OrigFLId", "i"},
          {"GUID", "s65"},
          {"ReserveField1", "i"},
          {"ReserveField2", "i"},
          {"ReserveField3", "i"},
          {"ReserveField4", "i"},
          {"ReserveFieldStr", "u1021"},
      },
      "Id",
      {"Id"},
      {{"APP_Client", "ClientId", "id"}},
  };
  return def;
}

}  // namespace zarezodud
