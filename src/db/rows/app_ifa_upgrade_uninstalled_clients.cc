#include "db/rows/app_ifa_upgrade_uninstalled_clients.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include "db/rows/db_error_log.h"
#include "db/rows/db_tran.h"
#include "db/rows/record_text.h"

namespace zarezodud {

namespace {

const char kColumnList[] = "clientId, clientName, simOperatingSystemId, releaseId, errCode, errString";
const char kSchema[] = "i|s511|i|i|i|s2049|";

}  // namespace

AppIfaUpgrade_UninstalledClients_t::AppIfaUpgrade_UninstalledClients_t() {
  clientId = 0;
  copyRecordText(clientName, sizeof(clientName), "");
  simOperatingSystemId = 0;
  releaseId = 0;
  errCode = 0;
  copyRecordText(errString, sizeof(errString), "");
}


AppIfaUpgrade_UninstalledClients_t2::AppIfaUpgrade_UninstalledClients_t2() = default;

AppIfaUpgrade_UninstalledClients_t2::~AppIfaUpgrade_UninstalledClients_t2() = default;

const RKDBTableDef& AppIfaUpgrade_UninstalledClients_t2::definition() {
  static const RKDBTableDef def{
      "AppIfaUpgrade_UninstalledClients",
      2,
      "Procedure AppIfaUpgrade_UninstalledClients",
      nullptr,
      nullptr,
      {
          {"clientId", "i"},
          {"clientName", "s511"},
          {"simOperatingSystemId", "i"},
          {"releaseId", "i"},
          {"errCode", "i"},
          {"errString", "s2049"},
      },
      nullptr,
      {},
      {},
  };
  return def;
}

AppIfaUpgrade_UninstalledClients::AppIfaUpgrade_UninstalledClients(DBtran* tran)
    : DBtable("AppIfaUpgrade_UninstalledClients", 0, tran) {
  setHeaderType(2);
  setColumnList(kColumnList);
  setHeader("Procedure AppIfaUpgrade_UninstalledClients");
  // No serial column; the data pointer is given so that fetches can fill the record with
  // the procedure's result rows.
  setDataPtr(&m_record);
  setStructDef(kSchema);
  dataBindClearFirstTime();
  setExtIndicatorArray(m_indicators);
  if (DBtable::b_newDBBase.load()) m_rowObject = new AppIfaUpgrade_UninstalledClients_t2;
  setRowObject(m_rowObject);
  setCode("00010021006000110000");
  FXCriticalSectionLock hold(DBtable::DBCriticalSection);
  if (tran != nullptr) {
    try {
      tran->addObject(this);
    } catch (...) {
      char message[128];
      std::snprintf(message, sizeof(message),
                    "AppIfaUpgrade_UninstalledClients Constructor [0x%08x], caught an exception",
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this)));
      logDBError(__FILE__, __LINE__, message);
    }
  }
}

AppIfaUpgrade_UninstalledClients::~AppIfaUpgrade_UninstalledClients() {
  setRowObject(nullptr);
  delete m_rowObject;
}

void AppIfaUpgrade_UninstalledClients::setValues(int first, int second) {
  if (DBtable::b_newDBBase.load()) {
    m_firstInput = std::make_unique<RKDB_int>(first);
    m_secondInput = std::make_unique<RKDB_int>(second);
    setRKDBValues(m_firstInput.get(), m_secondInput.get());
    setHasBoundInputs(true);
  } else {
    // A fresh clause each time: appending to the previous call's values would corrupt it.
    resetValuesClause();
    valuesClauseCheck(29);
    CallDBsprintfWrapper("%d,%d", first, second);
  }
}

void AppIfaUpgrade_UninstalledClients::setRKDBValues(RKDBDataTypeBase* first, RKDBDataTypeBase* second) {
  ClearBoundInputs();
  BindInput(first);
  BindInput(second);
}

void AppIfaUpgrade_UninstalledClients::dataBindClear() { releaseBinding(); }

void AppIfaUpgrade_UninstalledClients::dataBindClearFirstTime() { prepareBinding(); }

}  // namespace zarezodud
