#include "db/rows/sm_array_ctrl_host_map.h"

#include <cstdint>
#include <cstdio>

#include "db/rows/db_error_log.h"
#include "db/rows/db_tran.h"
#include "db/rows/record_text.h"

namespace zarezodud {

namespace {

const char kColumnList[] =
    "Id, ArrayId, ControlHostId, Flags, CreationTime, DeleteTime, ReserveField1, ReserveField2, "
    "ReserveField3, ReserveField4, ReserveFieldStr";
const char kSchema[] = "i|i|i|i|t|t|i|i|i|i|u1021|";

}  // namespace

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

SMArrayCtrlHostMap::SMArrayCtrlHostMap(DBtran* tran) : DBtable("SMArrayCtrlHostMap", 0, tran) {
  setHeaderType(1);
  setColumnList(kColumnList);
  setHeader("Table SMArrayCtrlHostMap");
  setVersion("1.2.208.2");
  setSerialName("Id");
  setDataPtr(&m_record);
  setDataPtr2(nullptr);
  setOrderBy("Id");
  setStructDef(kSchema);
  dataBindClearFirstTime();
  setExtIndicatorArray(m_indicators);
  if (DBtable::b_newDBBase.load()) m_rowObject = new SMArrayCtrlHostMap_t2;
  setRowObject(m_rowObject);
  FXCriticalSectionLock hold(DBtable::DBCriticalSection);
  if (tran != nullptr) {
    try {
      tran->addObject(this);
    } catch (...) {
      char message[128];
      std::snprintf(message, sizeof(message), "SMArrayCtrlHostMap Constructor [0x%08x], caught an exception",
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this)));
      logDBError(__FILE__, __LINE__, message);
    }
  }
}

SMArrayCtrlHostMap::~SMArrayCtrlHostMap() {
  dataBindClear();
  setRowObject(nullptr);
  delete m_rowObject;
}

void SMArrayCtrlHostMap::dataBindClear() { releaseBinding(); }

void SMArrayCtrlHostMap::dataBindClearFirstTime() { prepareBinding(); }

}  // namespace zarezodud
