#include "db/rows/sm_array_ctrl_host_map.h"

#include "db/rows/record_text.h"

namespace zarezodud {

SMArrayCtrlHostMap_t::SMArrayCtrlHostMap_t() {
  Id = 0;
  ArrayId = 0;
  ControlHostId = 0;
  Flags = 0;
  CreationTime.clear();
  DeleteTime.clear();
  ReserveField1 = 0;
  ReserveField2 = 0;
  ReserveField3 = 0;
  ReserveField4 = 0;
  copyRecordText(ReserveFieldStr, sizeof(ReserveFieldStr), "");
}

SMArrayCtrlHostMap_t::~SMArrayCtrlHostMap_t() = default;

SMArrayCtrlHostMap_t2::SMArrayCtrlHostMap_t2() = default;

SMArrayCtrlHostMap_t2::~SMArrayCtrlHostMap_t2() = default;

const RKDBTableDef& SMArrayCtrlHostMap_t2::definition() {
  static const RKDBTableDef def{
      "SMArrayCtrlHostMap",
      1,
      "Table SMArrayCtrlHostMap",
      "1.2.208.2",
      "Id",
      {
          {"Id", "i"},
          {"ArrayId", "i"},
          {"ControlHostId", "i"},
          {"Flags", "i"},
          {"CreationTime", "t"},
          {"DeleteTime", "t"},
          {"ReserveField1", "i"},
          {"ReserveField2", "i"},
          {"ReserveField3", "i"},
          {"ReserveField4", "i"},
          {"ReserveFieldStr", "u1021"},
      },
      "Id",
      {"Id"},
      {{"SMArray", "ArrayId", "Id"}, {"SMControlHost", "ControlHostId", "ControlHostId"}},
  };
  return def;
}

}  // namespace zarezodud
