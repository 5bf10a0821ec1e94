// SMControlHost (table): the record class
// SMControlHost_t and the row class SMControlHost_t2.
// The record has one field per column, in column order, for the binding style that fills it
// directly; the row class holds one value object per column and publishes the schema, keys
// and foreign keys (see RKDBGeneratedRow); the table class SMControlHost runs statements through the
// table framework (DBtable). All three are made from the one column description below.
//
// Thread-safety: records and rows are used by one thread at a time; rows may be constructed
// from several threads at once.
#ifndef ZAREZODUD_DB_ROWS_SM_CONTROL_HOST_H
#define ZAREZODUD_DB_ROWS_SM_CONTROL_HOST_H

#include <iterator>

#include "db/rows/rk_timestamp.h"
#include "db/rows/rkdb_generated_row.h"
#include "db/rows/rkdb_generated_table.h"
#include "db/rows/rkdb_table_columns.h"

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

// The table's columns, in order: the one description the schema, the column list, the row
// class's definition and the record's construction are made from.
inline constexpr RKDBColumn kSMControlHostColumns[] = {
    rkdbColumn<&SMControlHost_t::ControlHostId>("ControlHostId"),
    rkdbColumn<&SMControlHost_t::SnapShotEngineId>("SnapShotEngineId"),
    rkdbColumn<&SMControlHost_t::SnapVendorName>("SnapVendorName", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::SMArrayId>("SMArrayId", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::SMHostIP>("SMHostIP", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::SMHostName>("SMHostName", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::SMHostPortNumber>("SMHostPortNumber"),
    rkdbColumn<&SMControlHost_t::SMHostUserName>("SMHostUserName", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::SMHostPassword>("SMHostPassword", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::SMHostFlags>("SMHostFlags"),
    rkdbColumn<&SMControlHost_t::SMHostStatus>("SMHostStatus"),
    rkdbColumn<&SMControlHost_t::SMHostDescription>("SMHostDescription", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::SnapShotEngineName>("SnapShotEngineName", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::DeviceGroupName>("DeviceGroupName", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::SMHostOption>("SMHostOption"),
    rkdbColumn<&SMControlHost_t::SourceId>("SourceId"),
    rkdbColumn<&SMControlHost_t::OrigFLId>("OrigFLId"),
    rkdbColumn<&SMControlHost_t::GUID>("GUID"),
    rkdbColumn<&SMControlHost_t::ReserveField1>("ReserveField1"),
    rkdbColumn<&SMControlHost_t::ReserveField2>("ReserveField2"),
    rkdbColumn<&SMControlHost_t::ReserveFieldStr>("ReserveFieldStr", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::ClientId>("ClientId"),
    rkdbColumn<&SMControlHost_t::SoftState>("SoftState"),
    rkdbColumn<&SMControlHost_t::IsEnabled>("IsEnabled"),
    rkdbColumn<&SMControlHost_t::IsActive>("IsActive"),
    rkdbColumn<&SMControlHost_t::BrokenCode>("BrokenCode"),
    rkdbColumn<&SMControlHost_t::ReasonCode>("ReasonCode"),
    rkdbColumn<&SMControlHost_t::Flags>("Flags"),
    rkdbColumn<&SMControlHost_t::AdminConsole>("AdminConsole", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::Properties>("Properties"),
    rkdbColumn<&SMControlHost_t::ReserveField3>("ReserveField3"),
    rkdbColumn<&SMControlHost_t::ReserveField4>("ReserveField4"),
    rkdbColumn<&SMControlHost_t::GroupingId>("GroupingId"),
    rkdbColumn<&SMControlHost_t::UniqueIdentifier>("UniqueIdentifier", RKDBText::kWide),
    rkdbColumn<&SMControlHost_t::CreatedTime>("CreatedTime"),
    rkdbColumn<&SMControlHost_t::ModifiedTime>("ModifiedTime"),
    rkdbColumn<&SMControlHost_t::CredentialId>("CredentialId"),
};

class SMControlHost_t2 : public RKDBGeneratedRow<SMControlHost_t2> {
 public:
  // One null value object per column; builds the class-wide schema on first use.
  SMControlHost_t2();
  ~SMControlHost_t2() override;

  // The table's description: name, kind, columns, keys.
  static const RKDBTableDef& definition();
};

// The table object (see RKDBGeneratedTable).
class SMControlHost
    : public RKDBGeneratedTable<SMControlHost_t, SMControlHost_t2, std::size(kSMControlHostColumns)> {
 public:
  // Describes the table to the framework and, when tran is not null, enrols in it under
  // DBtable::DBCriticalSection; a failure to enrol is logged to the framework's error log and
  // construction goes on.
  explicit SMControlHost(DBtran* tran);
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_SM_CONTROL_HOST_H
