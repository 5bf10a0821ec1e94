#include "db/rows/sm_control_host.h"

#include <cstdint>
#include <cstdio>

#include "db/rows/db_error_log.h"
#include "db/rows/db_tran.h"
#include "db/rows/record_text.h"

namespace zarezodud {

namespace {

const char kColumnList[] =
    "ControlHostId, SnapShotEngineId, SnapVendorName, SMArrayId, SMHostIP, SMHostName, "
    "SMHostPortNumber, SMHostUserName, SMHostPassword, SMHostFlags, SMHostStatus, SMHostDescription, "
    "SnapShotEngineName, DeviceGroupName, SMHostOption, SourceId, OrigFLId, GUID, ReserveField1, "
    "ReserveField2, ReserveFieldStr, ClientId, SoftState, IsEnabled, IsActive, BrokenCode, ReasonCode, "
    "Flags, AdminConsole, Properties, ReserveField3, ReserveField4, GroupingId, UniqueIdentifier, "
    "CreatedTime, ModifiedTime, CredentialId";
const char kSchema[] =
    "i|i|u513|u4097|u4097|u4097|i|u4097|u8193|i|i|u4097|u4097|u4097|i|i|i|s65|i|i|u1021|i|i|i|i|i|i|b|u4097|"
    "s|i|i|b|u4097|t|t|i|";

}  // namespace

SMControlHost_t::SMControlHost_t() {
  ControlHostId = 0;
  SnapShotEngineId = 0;
  copyRecordText(SnapVendorName, sizeof(SnapVendorName), "");
  copyRecordText(SMArrayId, sizeof(SMArrayId), "");
  copyRecordText(SMHostIP, sizeof(SMHostIP), "");
  copyRecordText(SMHostName, sizeof(SMHostName), "");
  SMHostPortNumber = 0;
  copyRecordText(SMHostUserName, sizeof(SMHostUserName), "");
  copyRecordText(SMHostPassword, sizeof(SMHostPassword), "");
  SMHostFlags = 0;
  SMHostStatus = 0;
  copyRecordText(SMHostDescription, sizeof(SMHostDescription), "");
  copyRecordText(SnapShotEngineName, sizeof(SnapShotEngineName), "");
  copyRecordText(DeviceGroupName, sizeof(DeviceGroupName), "");
  SMHostOption = 0;
  SourceId = 0;
  OrigFLId = 0;
  copyRecordText(GUID, sizeof(GUID), "");
  ReserveField1 = 0;
  ReserveField2 = 0;
  copyRecordText(ReserveFieldStr, sizeof(ReserveFieldStr), "");
  ClientId = 0;
  SoftState = 0;
  IsEnabled = 0;
  IsActive = 0;
  BrokenCode = 0;
  ReasonCode = 0;
  Flags = 0;
  copyRecordText(AdminConsole, sizeof(AdminConsole), "");
  Properties = nullptr;
  ReserveField3 = 0;
  ReserveField4 = 0;
  GroupingId = 0;
  copyRecordText(UniqueIdentifier, sizeof(UniqueIdentifier), "");
  CreatedTime.clear();
  ModifiedTime.clear();
  CredentialId = 0;
}

SMControlHost_t::~SMControlHost_t() { delete[] Properties; }

SMControlHost_t2::SMControlHost_t2() = default;

SMControlHost_t2::~SMControlHost_t2() = default;

const RKDBTableDef& SMControlHost_t2::definition() {
  static const RKDBTableDef def{
      "SMControlHost",
      1,
      "Table SMControlHost",
      "1.17.2.5",
      "ControlHostId",
      {
          {"ControlHostId", "i"},
          {"SnapShotEngineId", "i"},
          {"SnapVendorName", "u513"},
          {"SMArrayId", "u4097"},
          {"SMHostIP", "u4097"},
          {"SMHostName", "u4097"},
          {"SMHostPortNumber", "i"},
          {"SMHostUserName", "u4097"},
          {"SMHostPassword", "u8193"},
          {"SMHostFlags", "i"},
          {"SMHostStatus", "i"},
          {"SMHostDescription", "u4097"},
          {"SnapShotEngineName", "u4097"},
          {"DeviceGroupName", "u4097"},
          {"SMHostOption", "i"},
          {"SourceId", "i"},
          {"OrigFLId", "i"},
          {"GUID", "s65"},
          {"ReserveField1", "i"},
          {"ReserveField2", "i"},
          {"ReserveFieldStr", "u1021"},
          {"ClientId", "i"},
          {"SoftState", "i"},
          {"IsEnabled", "i"},
          {"IsActive", "i"},
          {"BrokenCode", "i"},
          {"ReasonCode", "i"},
          {"Flags", "b"},
          {"AdminConsole", "u4097"},
          {"Properties", "s"},
          {"ReserveField3", "i"},
          {"ReserveField4", "i"},
          {"GroupingId", "b"},
          {"UniqueIdentifier", "u4097"},
          {"CreatedTime", "t"},
          {"ModifiedTime", "t"},
          {"CredentialId", "i"},
      },
      "ControlHostId",
      {"ControlHostId"},
      {{"APP_Client", "ClientId", "id"}},
  };
  return def;
}

SMControlHost::SMControlHost(DBtran* tran) : DBtable("SMControlHost", 0, tran) {
  setHeaderType(1);
  setColumnList(kColumnList);
  setHeader("Table SMControlHost");
  setVersion("1.17.2.5");
  setSerialName("ControlHostId");
  setDataPtr(&m_record);
  setDataPtr2(nullptr);
  setOrderBy("ControlHostId");
  setStructDef(kSchema);
  dataBindClearFirstTime();
  setExtIndicatorArray(m_indicators);
  if (DBtable::b_newDBBase.load()) m_rowObject = new SMControlHost_t2;
  setRowObject(m_rowObject);
  FXCriticalSectionLock hold(DBtable::DBCriticalSection);
  if (tran != nullptr) {
    try {
      tran->addObject(this);
    } catch (...) {
      char message[128];
      std::snprintf(message, sizeof(message), "SMControlHost Constructor [0x%08x], caught an exception",
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this)));
      logDBError(__FILE__, __LINE__, message);
    }
  }
}

SMControlHost::~SMControlHost() {
  dataBindClear();
  setRowObject(nullptr);
  delete m_rowObject;
}

void SMControlHost::dataBindClear() { releaseBinding(); }

void SMControlHost::dataBindClearFirstTime() { prepareBinding(); }

}  // namespace zarezodud
