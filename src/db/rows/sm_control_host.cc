#include "db/rows/sm_control_host.h"

namespace zarezodud {

static_assert(SMControlHost::kColumnCount == 37, "one indicator per column");

SMControlHost_t::SMControlHost_t() { rkdbClearRecord(kSMControlHostColumns, this); }

SMControlHost_t::~SMControlHost_t() { rkdbReleaseRecord(kSMControlHostColumns, this); }

SMControlHost_t2::SMControlHost_t2() = default;

SMControlHost_t2::~SMControlHost_t2() = default;

const RKDBTableDef& SMControlHost_t2::definition() {
  static const RKDBTableDef def{"SMControlHost",
                                1,
                                "Table SMControlHost",
                                "1.17.2.5",
                                "ControlHostId",
                                rkdbColumnDefs(kSMControlHostColumns),
                                "ControlHostId",
                                {"ControlHostId"},
                                {{"APP_Client", "ClientId", "id"}}};
  return def;
}

SMControlHost::SMControlHost(DBtran* tran)
    : RKDBGeneratedTable(tran, SMControlHost_t2::definition(), __FILE__, __LINE__) {}

}  // namespace zarezodud
