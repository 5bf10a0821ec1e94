#include "db/rows/app_client.h"

#include <cstring>

#include "db/secure_text.h"

namespace zarezodud {

APP_Client_t::APP_Client_t() { rkdbClearRecord(kAPP_ClientColumns, this); }

APP_Client_t::~APP_Client_t() {
  if (password != nullptr) clearBuffer(password, std::strlen(password));
  rkdbReleaseRecord(kAPP_ClientColumns, this);
}

const RKDBTableDef& APP_Client::definition() {
  static const RKDBTableDef def{"APP_Client", 1,      "Table APP_Client",
                                nullptr,      "id",   rkdbColumnDefs(kAPP_ClientColumns),
                                "id",         {"id"}, {}};
  return def;
}

APP_Client::APP_Client(DBtran* tran) : RKDBGeneratedTable(tran, definition(), __FILE__, __LINE__) {}

}  // namespace zarezodud
