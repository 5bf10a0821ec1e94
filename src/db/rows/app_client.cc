#include "db/rows/app_client.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "db/rows/db_error_log.h"
#include "db/rows/db_tran.h"
#include "db/rows/record_text.h"
#include "db/secure_text.h"

namespace zarezodud {

APP_Client_t::APP_Client_t() : id(0), password(nullptr) { copyRecordText(name, sizeof(name), ""); }

APP_Client_t::~APP_Client_t() {
  if (password != nullptr) clearBuffer(password, std::strlen(password));
  delete[] password;
}

APP_Client::APP_Client(DBtran* tran) : DBtable("APP_Client", 0, tran) {
  setHeaderType(1);
  setColumnList("id, name, password");
  setHeader("Table APP_Client");
  setSerialName("id");
  setDataPtr(&m_record);
  setDataPtr2(nullptr);
  setOrderBy("id");
  setStructDef(kSchema);
  prepareBinding();
  setExtIndicatorArray(m_indicators);
  FXCriticalSectionLock hold(DBtable::DBCriticalSection);
  if (tran != nullptr) {
    try {
      tran->addObject(this);
    } catch (...) {
      char message[128];
      std::snprintf(message, sizeof(message), "APP_Client Constructor [0x%08x], caught an exception",
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this)));
      logDBError(__FILE__, __LINE__, message);
    }
  }
}

APP_Client::~APP_Client() { releaseBinding(); }

}  // namespace zarezodud
