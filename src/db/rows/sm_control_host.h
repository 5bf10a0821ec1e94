// SMControlHost (table): the record class
// SMControlHost_t and the row class SMControlHost_t2.
// The record has one field per column, in column order, for the binding style that fills it
// directly; the row class holds one value object per column and publishes the schema, keys
// and foreign keys (see RKDBGeneratedRow); the table class SMControlHost runs statements through the
// table framework (DBtable).
//
// Thread-safety: records and rows are used by one thread at a time; rows may be constructed
// from several threads at once.
#ifndef ZAREZODUD_DB_ROWS_SM_CONTROL_HOST_H
#define ZAREZODUD_DB_ROWS_SM_CONTROL_HOST_H

#include <cstdint>
#include <memory>

#include "db/rows/db_table.h"
#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_generated_row.h"

namespace zarezodud {

// Integers 0, texts empty, date-times cleared, the heap text null at construction.
struct SMControlHost_t {
  SMControlHost_t();
  ~SMControlHost_t();
  SMControlHost_t(const SMControlHost_t&) = delete;
  SMControlHost_t& operator=(const SMControlHost_t&) = delete;

  int ControlHostId;
  int SnapShotEngineId;
  char SnapVendorName[513];
  char SMArrayId[4097];
  char SMHostIP[4097];
  char SMHostName[4097];
  int SMHostPortNumber;
  char SMHostUserName[4097];
  char SMHostPassword[8193];
  int SMHostFlags;
  int SMHostStatus;
  char SMHostDescription[4097];
  char SnapShotEngineName[4097];
  char DeviceGroupName[4097];
  int SMHostOption;
  int SourceId;
  int OrigFLId;
  char GUID[65];
  int ReserveField1;
  int ReserveField2;
  char ReserveFieldStr[1021];
  int ClientId;
  int SoftState;
  int IsEnabled;
  int IsActive;
  int BrokenCode;
  int ReasonCode;
  long long Flags;
  char AdminConsole[4097];
  char* Properties;  // heap text, released by the destructor
  int ReserveField3;
  int ReserveField4;
  long long GroupingId;
  char UniqueIdentifier[4097];
  DB_DATETIME CreatedTime;
  DB_DATETIME ModifiedTime;
  int CredentialId;
};

class SMControlHost_t2 : public RKDBGeneratedRow<SMControlHost_t2> {
 public:
  // One null value object per column; builds the class-wide schema on first use.
  SMControlHost_t2();
  ~SMControlHost_t2() override;

  // The table's description: name, kind, columns, keys.
  static const RKDBTableDef& definition();
};

// The table object: owns its record, its row object in the newer binding style
// (DBtable::b_newDBBase true when constructed; null otherwise) and one 64-bit indicator per
// column.
class SMControlHost : public DBtable {
 public:
  static constexpr int kColumnCount = 37;

  // Describes the table to the framework and, when tran is not null, enrols in it under
  // DBtable::DBCriticalSection; a failure to enrol is logged to the framework's error log and
  // construction goes on.
  explicit SMControlHost(DBtran* tran);
  ~SMControlHost() override;

  // The record (owned by this object).
  SMControlHost_t* getDataPtr() { return &m_record; }
  // The row object (owned by this object), null in the older binding style.
  SMControlHost_t2* getRowObject() { return m_rowObject; }

  // Ends an open fetch and forgets bound inputs.
  void dataBindClear();
  // Resets the binding state before first use.
  void dataBindClearFirstTime();

 private:
  SMControlHost_t m_record;
  SMControlHost_t2* m_rowObject = nullptr;
  std::int64_t m_indicators[kColumnCount] = {};
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_SM_CONTROL_HOST_H
