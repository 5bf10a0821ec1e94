// AppIfaUpgrade_UninstalledClients (stored procedure): the record class
// AppIfaUpgrade_UninstalledClients_t and the row class AppIfaUpgrade_UninstalledClients_t2.
// The record has one field per column, in column order, for the binding style that fills it
// directly; the row class holds one value object per column and publishes the schema, keys
// and foreign keys (see RKDBGeneratedRow); the table class AppIfaUpgrade_UninstalledClients runs statements
// through the table framework (DBtable). All three are made from the one column description
// below.
//
// Thread-safety: records and rows are used by one thread at a time; rows may be constructed
// from several threads at once.
#ifndef ZAREZODUD_DB_ROWS_APP_IFA_UPGRADE_UNINSTALLED_CLIENTS_H
#define ZAREZODUD_DB_ROWS_APP_IFA_UPGRADE_UNINSTALLED_CLIENTS_H

#include <iterator>
#include <memory>

#include "db/rows/rkdb_data_types.h"
#include "db/rows/rkdb_generated_row.h"
#include "db/rows/rkdb_generated_table.h"
#include "db/rows/rkdb_table_columns.h"

namespace zarezodud {

// Integers 0, texts empty, date-times cleared at construction.
struct AppIfaUpgrade_UninstalledClients_t {
  AppIfaUpgrade_UninstalledClients_t();
  ~AppIfaUpgrade_UninstalledClients_t() = default;
  AppIfaUpgrade_UninstalledClients_t(const AppIfaUpgrade_UninstalledClients_t&) = delete;
  AppIfaUpgrade_UninstalledClients_t& operator=(const AppIfaUpgrade_UninstalledClients_t&) = delete;

  int clientId;
  char clientName[511];
  int simOperatingSystemId;
  int releaseId;
  int errCode;
  char errString[2049];
};

// The procedure's columns, in order: the one description the schema, the column list, the row
// class's definition and the record's construction are made from.
inline constexpr RKDBColumn kAppIfaUpgrade_UninstalledClientsColumns[] = {
    rkdbColumn<&AppIfaUpgrade_UninstalledClients_t::clientId>("clientId"),
    rkdbColumn<&AppIfaUpgrade_UninstalledClients_t::clientName>("clientName"),
    rkdbColumn<&AppIfaUpgrade_UninstalledClients_t::simOperatingSystemId>("simOperatingSystemId"),
    rkdbColumn<&AppIfaUpgrade_UninstalledClients_t::releaseId>("releaseId"),
    rkdbColumn<&AppIfaUpgrade_UninstalledClients_t::errCode>("errCode"),
    rkdbColumn<&AppIfaUpgrade_UninstalledClients_t::errString>("errString"),
};

class AppIfaUpgrade_UninstalledClients_t2 : public RKDBGeneratedRow<AppIfaUpgrade_UninstalledClients_t2> {
 public:
  // One null value object per column; builds the class-wide schema on first use.
  AppIfaUpgrade_UninstalledClients_t2();
  ~AppIfaUpgrade_UninstalledClients_t2() override;

  // The table's description: name, kind, columns, keys.
  static const RKDBTableDef& definition();
};

// The stored-procedure object (see RKDBGeneratedTable), with the procedure's two inputs.
class AppIfaUpgrade_UninstalledClients
    : public RKDBGeneratedTable<AppIfaUpgrade_UninstalledClients_t, AppIfaUpgrade_UninstalledClients_t2,
                                std::size(kAppIfaUpgrade_UninstalledClientsColumns)> {
 public:
  // Describes the procedure to the framework and, when tran is not null, enrols in it under
  // DBtable::DBCriticalSection; a failure to enrol is logged to the framework's error log and
  // construction goes on.
  explicit AppIfaUpgrade_UninstalledClients(DBtran* tran);

  // Supplies the procedure's two integer inputs for the next fetch: bound as parameters in the
  // newer binding style, written into the values clause ("%d,%d") in the older one.
  void setValues(int first, int second);
  // Binds the two value objects (not owned) as the procedure's inputs, in order.
  void setRKDBValues(RKDBDataTypeBase* first, RKDBDataTypeBase* second);

 private:
  std::unique_ptr<RKDB_int> m_firstInput;
  std::unique_ptr<RKDB_int> m_secondInput;
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_APP_IFA_UPGRADE_UNINSTALLED_CLIENTS_H
