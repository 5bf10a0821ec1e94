// SMArrayCtrlHostMap (table): the record class
// SMArrayCtrlHostMap_t and the row class SMArrayCtrlHostMap_t2.
// The record has one field per column, in column order, for the binding style that fills it
// directly; the row class holds one value object per column and publishes the schema, keys
// and foreign keys (see RKDBGeneratedRow); the table class SMArrayCtrlHostMap runs statements through the
// table framework (DBtable). All three are made from the one column description below.
//
// Thread-safety: records and rows are used by one thread at a time; rows may be constructed
// from several threads at once.
#ifndef ZAREZODUD_DB_ROWS_SM_ARRAY_CTRL_HOST_MAP_H
#define ZAREZODUD_DB_ROWS_SM_ARRAY_CTRL_HOST_MAP_H

#include <iterator>

#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_generated_row.h"
#include "db/rows/rkdb_generated_table.h"
#include "db/rows/rkdb_table_columns.h"

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

// The table's columns, in order: the one description the schema, the column list, the row
// class's definition and the record's construction are made from.
inline constexpr RKDBColumn kSMArrayCtrlHostMapColumns[] = {
    rkdbColumn<&SMArrayCtrlHostMap_t::Id>("Id"),
    rkdbColumn<&SMArrayCtrlHostMap_t::ArrayId>("ArrayId"),
    rkdbColumn<&SMArrayCtrlHostMap_t::ControlHostId>("ControlHostId"),
    rkdbColumn<&SMArrayCtrlHostMap_t::Flags>("Flags"),
    rkdbColumn<&SMArrayCtrlHostMap_t::CreationTime>("CreationTime"),
    rkdbColumn<&SMArrayCtrlHostMap_t::DeleteTime>("DeleteTime"),
    rkdbColumn<&SMArrayCtrlHostMap_t::ReserveField1>("ReserveField1"),
    rkdbColumn<&SMArrayCtrlHostMap_t::ReserveField2>("ReserveField2"),
    rkdbColumn<&SMArrayCtrlHostMap_t::ReserveField3>("ReserveField3"),
    rkdbColumn<&SMArrayCtrlHostMap_t::ReserveField4>("ReserveField4"),
    rkdbColumn<&SMArrayCtrlHostMap_t::ReserveFieldStr>("ReserveFieldStr", RKDBText::kWide),
};

class SMArrayCtrlHostMap_t2 : public RKDBGeneratedRow<SMArrayCtrlHostMap_t2> {
 public:
  // One null value object per column; builds the class-wide schema on first use.
  SMArrayCtrlHostMap_t2();
  ~SMArrayCtrlHostMap_t2() override;

  // The table's description: name, kind, columns, keys.
  static const RKDBTableDef& definition();
};

// The table object (see RKDBGeneratedTable).
class SMArrayCtrlHostMap : public RKDBGeneratedTable<SMArrayCtrlHostMap_t, SMArrayCtrlHostMap_t2,
                                                     std::size(kSMArrayCtrlHostMapColumns)> {
 public:
  // Describes the table to the framework and, when tran is not null, enrols in it under
  // DBtable::DBCriticalSection; a failure to enrol is logged to the framework's error log and
  // construction goes on.
  explicit SMArrayCtrlHostMap(DBtran* tran);
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_SM_ARRAY_CTRL_HOST_MAP_H
