// SMArray (table): the record class
// SMArray_t and the row class SMArray_t2.
// The record has one field per column, in column order, for the binding style that fills it
// directly; the row class holds one value object per column and publishes the schema, keys
// and foreign keys (see RKDBGeneratedRow); the table class SMArray runs statements through the
// table framework (DBtable). All three are made from the one column description below.
//
// Thread-safety: records and rows are used by one thread at a time; rows may be constructed
// from several threads at once.
#ifndef ZAREZODUD_DB_ROWS_SM_ARRAY_H
#define ZAREZODUD_DB_ROWS_SM_ARRAY_H

#include <iterator>

#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_generated_row.h"
#include "db/rows/rkdb_generated_table.h"
#include "db/rows/rkdb_table_columns.h"

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

// The table's columns, in order: the one description the schema, the column list, the row
// class's definition and the record's construction are made from.
inline constexpr RKDBColumn kSMArrayColumns[] = {
    rkdbColumn<&SMArray_t::Id>("Id"),
    rkdbColumn<&SMArray_t::ClientId>("ClientId"),
    rkdbColumn<&SMArray_t::ArrayName>("ArrayName", RKDBText::kWide),
    rkdbColumn<&SMArray_t::SoftState>("SoftState"),
    rkdbColumn<&SMArray_t::IsEnabled>("IsEnabled"),
    rkdbColumn<&SMArray_t::IsActive>("IsActive"),
    rkdbColumn<&SMArray_t::BrokenCode>("BrokenCode"),
    rkdbColumn<&SMArray_t::ReasonCode>("ReasonCode"),
    rkdbColumn<&SMArray_t::Flags>("Flags"),
    rkdbColumn<&SMArray_t::TotalSpaceMB>("TotalSpaceMB"),
    rkdbColumn<&SMArray_t::FreeSpaceMB>("FreeSpaceMB"),
    rkdbColumn<&SMArray_t::LoginName>("LoginName", RKDBText::kWide),
    rkdbColumn<&SMArray_t::LoginPassword>("LoginPassword", RKDBText::kWide),
    rkdbColumn<&SMArray_t::UniqueID>("UniqueID", RKDBText::kWide),
    rkdbColumn<&SMArray_t::SerialNumber>("SerialNumber", RKDBText::kWide),
    rkdbColumn<&SMArray_t::ProductOSVersion>("ProductOSVersion", RKDBText::kWide),
    rkdbColumn<&SMArray_t::ProductFirmwareVersion>("ProductFirmwareVersion", RKDBText::kWide),
    rkdbColumn<&SMArray_t::ProductModel>("ProductModel", RKDBText::kWide),
    rkdbColumn<&SMArray_t::CreationTime>("CreationTime"),
    rkdbColumn<&SMArray_t::UpdateTime>("UpdateTime"),
    rkdbColumn<&SMArray_t::DeleteTime>("DeleteTime"),
    rkdbColumn<&SMArray_t::AdminConsole>("AdminConsole", RKDBText::kWide),
    rkdbColumn<&SMArray_t::Properties>("Properties"),
    rkdbColumn<&SMArray_t::OrigFLId>("OrigFLId"),
    rkdbColumn<&SMArray_t::GUID>("GUID"),
    rkdbColumn<&SMArray_t::ReserveField1>("ReserveField1"),
    rkdbColumn<&SMArray_t::ReserveField2>("ReserveField2"),
    rkdbColumn<&SMArray_t::ReserveField3>("ReserveField3"),
    rkdbColumn<&SMArray_t::ReserveField4>("ReserveField4"),
    rkdbColumn<&SMArray_t::ReserveFieldStr>("ReserveFieldStr", RKDBText::kWide),
};

class SMArray_t2 : public RKDBGeneratedRow<SMArray_t2> {
 public:
  // One null value object per column; builds the class-wide schema on first use.
  SMArray_t2();
  ~SMArray_t2() override;

  // The table's description: name, kind, columns, keys.
  static const RKDBTableDef& definition();
};

// The table object (see RKDBGeneratedTable).
class SMArray : public RKDBGeneratedTable<SMArray_t, SMArray_t2, std::size(kSMArrayColumns)> {
 public:
  // Describes the table to the framework and, when tran is not null, enrols in it under
  // DBtable::DBCriticalSection; a failure to enrol is logged to the framework's error log and
  // construction goes on.
  explicit SMArray(DBtran* tran);
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_SM_ARRAY_H
