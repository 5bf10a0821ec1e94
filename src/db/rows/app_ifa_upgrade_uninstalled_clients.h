// AppIfaUpgrade_UninstalledClients (stored procedure): the record class
// AppIfaUpgrade_UninstalledClients_t and the row class AppIfaUpgrade_UninstalledClients_t2.
// The record has one field per column, in column order, for the binding style that fills it
// directly; the row class holds one value object per column and publishes the schema, keys
// and foreign keys (see RKDBGeneratedRow); the table class AppIfaUpgrade_UninstalledClients runs statements
// through the table framework (DBtable).
//
// Thread-safety: records and rows are used by one thread at a time; rows may be constructed
// from several threads at once.
#ifndef ZAREZODUD_DB_ROWS_APP_IFA_UPGRADE_UNINSTALLED_CLIENTS_H
#define ZAREZODUD_DB_ROWS_APP_IFA_UPGRADE_UNINSTALLED_CLIENTS_H

#include <cstdint>
#include <memory>

#include "db/rows/db_table.h"
#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_data_types.h"
#include "db/rows/rkdb_generated_row.h"

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

class AppIfaUpgrade_UninstalledClients_t2 : public RKDBGeneratedRow<AppIfaUpgrade_UninstalledClients_t2> {
 public:
  // One null value object per column; builds the class-wide schema on first use.
  AppIfaUpgrade_UninstalledClients_t2();
  ~AppIfaUpgrade_UninstalledClients_t2() override;

  // The table's description: name, kind, columns, keys.
  static const RKDBTableDef& definition();
};

// The stored-procedure object: owns its record, its row object in the newer binding style
// (DBtable::b_newDBBase true when constructed; null otherwise) and one 64-bit indicator per
// column.
class AppIfaUpgrade_UninstalledClients : public DBtable {
 public:
  static constexpr int kColumnCount = 6;

  // Describes the procedure to the framework and, when tran is not null, enrols in it under
  // DBtable::DBCriticalSection; a failure to enrol is logged to the framework's error log and
  // construction goes on.
  explicit AppIfaUpgrade_UninstalledClients(DBtran* tran);
  ~AppIfaUpgrade_UninstalledClients() override;

  // The record (owned by this object).
  AppIfaUpgrade_UninstalledClients_t* getDataPtr() { return &m_record; }
  // The row object (owned by this object), null in the older binding style.
  AppIfaUpgrade_UninstalledClients_t2* getRowObject() { return m_rowObject; }

  // Supplies the procedure's two integer inputs for the next fetch: bound as parameters in the
  // newer binding style, written into the values clause ("%d,%d") in the older one.
  void setValues(int first, int second);
  // Binds the two value objects (not owned) as the procedure's inputs, in order.
  void setRKDBValues(RKDBDataTypeBase* first, RKDBDataTypeBase* second);

  // Ends an open fetch and forgets bound inputs.
  void dataBindClear();
  // Resets the binding state before first use.
  void dataBindClearFirstTime();

 private:
  AppIfaUpgrade_UninstalledClients_t m_record;
  AppIfaUpgrade_UninstalledClients_t2* m_rowObject = nullptr;
  std::int64_t m_indicators[kColumnCount] = {};
  std::unique_ptr<RKDB_int> m_firstInput;
  std::unique_ptr<RKDB_int> m_secondInput;
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_APP_IFA_UPGRADE_UNINSTALLED_CLIENTS_H
