// AppIfaUpgrade_UninstalledClients (stored procedure): the record class
// AppIfaUpgrade_UninstalledClients_t and the row class AppIfaUpgrade_UninstalledClients_t2.
// The record has one field per column, in column order, for the binding style that fills it
// directly; the row class holds one value object per column and publishes the schema, keys
// and foreign keys (see RKDBGeneratedRow).
//
// Thread-safety: records and rows are used by one thread at a time; rows may be constructed
// from several threads at once.
#ifndef ZAREZODUD_DB_ROWS_APP_IFA_UPGRADE_UNINSTALLED_CLIENTS_H
#define ZAREZODUD_DB_ROWS_APP_IFA_UPGRADE_UNINSTALLED_CLIENTS_H

#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_generated_row.h"

namespace zarezodud {

// Integers 0, texts empty, date-times cleared at construction.
struct AppIfaUpgrade_UninstalledClients_t {
  AppIfaUpgrade_UninstalledClients_t();
  ~AppIfaUpgrade_UninstalledClients_t();
  AppIfaUpgrade_UninstalledClients_t(const AppIfaUpgrade_UninstalledClients_t&) = delete;
  AppIfaUpgrade_UninstalledClients_t& operator=(const AppIfaUpgrade_UninstalledClients_t&) = delete;

  int clientId;
  char clientName[511];
  int simOperatingSystemId;
  int releaseId;
  int errCode;
  char errString[2049];
};

class AppIfaUpgrade_UninstalledClients_t2 : public RKDBGeneratedRow<AppIfaUpgrade_UninstalledClients_t2> {
 public:
  // One null value object per column; builds the class-wide schema on first use.
  AppIfaUpgrade_UninstalledClients_t2();
  ~AppIfaUpgrade_UninstalledClients_t2() override;

  // The table's description: name, kind, columns, keys.
  static const RKDBTableDef& definition();
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_APP_IFA_UPGRADE_UNINSTALLED_CLIENTS_H
