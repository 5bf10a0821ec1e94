// SMArray (table): the record class
// SMArray_t and the row class SMArray_t2.
// The record has one field per column, in column order, for the binding style that fills it
// directly; the row class holds one value object per column and publishes the schema, keys
// and foreign keys (see RKDBGeneratedRow); the table class SMArray runs statements through the
// table framework (DBtable).
//
// Thread-safety: records and rows are used by one thread at a time; rows may be constructed
// from several threads at once.
#ifndef ZAREZODUD_DB_ROWS_SM_ARRAY_H
#define ZAREZODUD_DB_ROWS_SM_ARRAY_H

#include <cstdint>
#include <memory>

#include "db/rows/db_table.h"
#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_generated_row.h"

namespace zarezodud {

// Integers 0, texts empty, date-times cleared, the heap text null at construction.
struct SMArray_t {
  SMArray_t();
  ~SMArray_t();
  SMArray_t(const SMArray_t&) = delete;
  SMArray_t& operator=(const SMArray_t&) = delete;

  int Id;
  int ClientId;
  char ArrayName[4097];
  int SoftState;
  int IsEnabled;
  int IsActive;
  int BrokenCode;
  int ReasonCode;
  int Flags;
  long long TotalSpaceMB;
  long long FreeSpaceMB;
  char LoginName[4097];
  char LoginPassword[8193];
  char UniqueID[1021];
  char SerialNumber[1021];
  char ProductOSVersion[1021];
  char ProductFirmwareVersion[1021];
  char ProductModel[1021];
  DB_DATETIME CreationTime;
  DB_DATETIME UpdateTime;
  DB_DATETIME DeleteTime;
  char AdminConsole[4097];
  char* Properties;  // heap text, released by the destructor
  int OrigFLId;
  char GUID[65];
  int ReserveField1;
  int ReserveField2;
  int ReserveField3;
  int ReserveField4;
  char ReserveFieldStr[1021];
};

class SMArray_t2 : public RKDBGeneratedRow<SMArray_t2> {
 public:
  // One null value object per column; builds the class-wide schema on first use.
  SMArray_t2();
  ~SMArray_t2() override;

  // The table's description: name, kind, columns, keys.
  static const RKDBTableDef& definition();
};

// The table object: owns its record, its row object in the newer binding style
// (DBtable::b_newDBBase true when constructed; null otherwise) and one 64-bit indicator per
// column.
class SMArray : public DBtable {
 public:
  static constexpr int kColumnCount = 30;

  // Describes the table to the framework and, when tran is not null, enrols in it under
  // DBtable::DBCriticalSection; a failure to enrol is logged to the framework's error log and
  // construction goes on.
  explicit SMArray(DBtran* tran);
  ~SMArray() override;

  // The record (owned by this object).
  SMArray_t* getDataPtr() { return &m_record; }
  // The row object (owned by this object), null in the older binding style.
  SMArray_t2* getRowObject() { return m_rowObject; }

  // Ends an open fetch and forgets bound inputs.
  void dataBindClear();
  // Resets the binding state before first use.
  void dataBindClearFirstTime();

 private:
  SMArray_t m_record;
  SMArray_t2* m_rowObject = nullptr;
  std::int64_t m_indicators[kColumnCount] = {};
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_SM_ARRAY_H
