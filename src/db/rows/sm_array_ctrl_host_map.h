// SMArrayCtrlHostMap (table): the record class
// SMArrayCtrlHostMap_t and the row class SMArrayCtrlHostMap_t2.
// The record has one field per column, in column order, for the binding style that fills it
// directly; the row class holds one value object per column and publishes the schema, keys
// and foreign keys (see RKDBGeneratedRow); the table class SMArrayCtrlHostMap runs statements through the
// table framework (DBtable).
//
// Thread-safety: records and rows are used by one thread at a time; rows may be constructed
// from several threads at once.
#ifndef ZAREZODUD_DB_ROWS_SM_ARRAY_CTRL_HOST_MAP_H
#define ZAREZODUD_DB_ROWS_SM_ARRAY_CTRL_HOST_MAP_H

#include <cstdint>
#include <memory>

#include "db/rows/db_table.h"
#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_generated_row.h"

namespace zarezodud {

// Integers 0, texts empty, date-times cleared at construction.
struct SMArrayCtrlHostMap_t {
  SMArrayCtrlHostMap_t();
  ~SMArrayCtrlHostMap_t() = default;
  SMArrayCtrlHostMap_t(const SMArrayCtrlHostMap_t&) = delete;
  SMArrayCtrlHostMap_t& operator=(const SMArrayCtrlHostMap_t&) = delete;

  int Id;
  int ArrayId;
  int ControlHostId;
  int Flags;
  DB_DATETIME CreationTime;
  DB_DATETIME DeleteTime;
  int ReserveField1;
  int ReserveField2;
  int ReserveField3;
  int ReserveField4;
  char ReserveFieldStr[1021];
};

class SMArrayCtrlHostMap_t2 : public RKDBGeneratedRow<SMArrayCtrlHostMap_t2> {
 public:
  // One null value object per column; builds the class-wide schema on first use.
  SMArrayCtrlHostMap_t2();
  ~SMArrayCtrlHostMap_t2() override;

  // The table's description: name, kind, columns, keys.
  static const RKDBTableDef& definition();
};

// The table object: owns its record, its row object in the newer binding style
// (DBtable::b_newDBBase true when constructed; null otherwise) and one 64-bit indicator per
// column.
class SMArrayCtrlHostMap : public DBtable {
 public:
  static constexpr int kColumnCount = 11;

  // Describes the table to the framework and, when tran is not null, enrols in it under
  // DBtable::DBCriticalSection; a failure to enrol is logged to the framework's error log and
  // construction goes on.
  explicit SMArrayCtrlHostMap(DBtran* tran);
  ~SMArrayCtrlHostMap() override;

  // The record (owned by this object).
  SMArrayCtrlHostMap_t* getDataPtr() { return &m_record; }
  // The row object (owned by this object), null in the older binding style.
  SMArrayCtrlHostMap_t2* getRowObject() { return m_rowObject; }

  // Ends an open fetch and forgets bound inputs.
  void dataBindClear();
  // Resets the binding state before first use.
  void dataBindClearFirstTime();

 private:
  SMArrayCtrlHostMap_t m_record;
  SMArrayCtrlHostMap_t2* m_rowObject = nullptr;
  std::int64_t m_indicators[kColumnCount] = {};
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_SM_ARRAY_CTRL_HOST_MAP_H
