#include "db/rows/sm_array_ctrl_host_map.h"

namespace zarezodud {

static_assert(SMArrayCtrlHostMap::kColumnCount == 11, "one indicator per column");

SMArrayCtrlHostMap_t::SMArrayCtrlHostMap_t() { rkdbClearRecord(kSMArrayCtrlHostMapColumns, this); }

SMArrayCtrlHostMap_t2::SMArrayCtrlHostMap_t2() = default;

SMArrayCtrlHostMap_t2::~SMArrayCtrlHostMap_t2() = default;

const RKDBTableDef& SMArrayCtrlHostMap_t2::definition() {
  static const RKDBTableDef def{
      "SMArrayCtrlHostMap",
      1,
      "Table SMArrayCtrlHostMap",
      "1.2.208.2",
      "Id",
      rkdbColumnDefs(kSMArrayCtrlHostMapColumns),
      "Id",
      {"Id"},
      {{"SMArray", "ArrayId", "Id"}, {"SMControlHost", "ControlHostId", "ControlHostId"}}};
  return def;
}

SMArrayCtrlHostMap::SMArrayCtrlHostMap(DBtran* tran)
    : RKDBGeneratedTable(tran, SMArrayCtrlHostMap_t2::definition(), __FILE__, __LINE__) {}

}  // namespace zarezodud
