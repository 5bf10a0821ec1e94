#include "db/rows/sm_array.h"

namespace zarezodud {

static_assert(SMArray::kColumnCount == 30, "one indicator per column");

SMArray_t::SMArray_t() { rkdbClearRecord(kSMArrayColumns, this); }

SMArray_t::~SMArray_t() { rkdbReleaseRecord(kSMArrayColumns, this); }

SMArray_t2::SMArray_t2() = default;

SMArray_t2::~SMArray_t2() = default;

const RKDBTableDef& SMArray_t2::definition() {
  static const RKDBTableDef def{"SMArray",   1,      "Table SMArray",
                                "1.5.202.3", "Id",   rkdbColumnDefs(kSMArrayColumns),
                                "Id",        {"Id"}, {{"APP_Client", "ClientId", "id"}}};
  return def;
}

SMArray::SMArray(DBtran* tran) : RKDBGeneratedTable(tran, SMArray_t2::definition(), __FILE__, __LINE__) {}

}  // namespace zarezodud
