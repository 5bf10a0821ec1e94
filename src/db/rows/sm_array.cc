#include "db/rows/sm_array.h"

#include <cstdint>
#include <cstdio>

#include "db/rows/db_error_log.h"
#include "db/rows/db_tran.h"
#include "db/rows/record_text.h"

namespace zarezodud {

namespace {

const char kColumnList[] =
    "Id, ClientId, ArrayName, SoftState, IsEnabled, IsActive, BrokenCode, ReasonCode, Flags, "
    "TotalSpaceMB, FreeSpaceMB, LoginName, LoginPassword, UniqueID, SerialNumber, ProductOSVersion, "
    "ProductFirmwareVersion, ProductModel, CreationTime, UpdateTime, DeleteTime, AdminConsole, "
    "Properties, OrigFLId, GUID, ReserveField1, ReserveField2, ReserveField3, ReserveField4, "
    "ReserveFieldStr";
const char kSchema[] =
    "i|i|u4097|i|i|i|i|i|i|b|b|u4097|u8193|u1021|u1021|u1021|u1021|u1021|t|t|t|u4097|s|i|s65|i|i|i|i|u1021|";

}  // namespace

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

SMArray_t::~SMArray_t() { delete[] Properties; }

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

SMArray::SMArray(DBtran* tran) : DBtable("SMArray", 0, tran) {
  setHeaderType(1);
  setColumnList(kColumnList);
  setHeader("Table SMArray");
  setVersion("1.5.202.3");
  setSerialName("Id");
  setDataPtr(&m_record);
  setDataPtr2(nullptr);
  setOrderBy("Id");
  setStructDef(kSchema);
  dataBindClearFirstTime();
  setExtIndicatorArray(m_indicators);
  if (DBtable::b_newDBBase.load()) m_rowObject = new SMArray_t2;
  setRowObject(m_rowObject);
  FXCriticalSectionLock hold(DBtable::DBCriticalSection);
  if (tran != nullptr) {
    try {
      tran->addObject(this);
    } catch (...) {
      char message[128];
      std::snprintf(message, sizeof(message), "SMArray Constructor [0x%08x], caught an exception",
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this)));
      logDBError(__FILE__, __LINE__, message);
    }
  }
}

SMArray::~SMArray() {
  dataBindClear();
  setRowObject(nullptr);
  delete m_rowObject;
}

void SMArray::dataBindClear() { releaseBinding(); }

void SMArray::dataBindClearFirstTime() { prepareBinding(); }

}  // namespace zarezodud
