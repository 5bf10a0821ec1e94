#include "db/rows/app_ifa_upgrade_uninstalled_clients.h"

#include <memory>

namespace zarezodud {

static_assert(AppIfaUpgrade_UninstalledClients::kColumnCount == 6, "one indicator per column");

AppIfaUpgrade_UninstalledClients_t::AppIfaUpgrade_UninstalledClients_t() {
  rkdbClearRecord(kAppIfaUpgrade_UninstalledClientsColumns, this);
}

AppIfaUpgrade_UninstalledClients_t2::AppIfaUpgrade_UninstalledClients_t2() = default;

AppIfaUpgrade_UninstalledClients_t2::~AppIfaUpgrade_UninstalledClients_t2() = default;

const RKDBTableDef& AppIfaUpgrade_UninstalledClients_t2::definition() {
  static const RKDBTableDef def{"AppIfaUpgrade_UninstalledClients",
                                2,
                                "Procedure AppIfaUpgrade_UninstalledClients",
                                nullptr,
                                nullptr,
                                rkdbColumnDefs(kAppIfaUpgrade_UninstalledClientsColumns),
                                nullptr,
                                {},
                                {},
                                "00010021006000110000"};
  return def;
}

AppIfaUpgrade_UninstalledClients::AppIfaUpgrade_UninstalledClients(DBtran* tran)
    : RKDBGeneratedTable(tran, AppIfaUpgrade_UninstalledClients_t2::definition(), __FILE__, __LINE__) {}

void AppIfaUpgrade_UninstalledClients::setValues(int first, int second) {
  if (DBtable::b_newDBBase.load()) {
    m_firstInput = std::make_unique<RKDB_int>(first);
    m_secondInput = std::make_unique<RKDB_int>(second);
    setRKDBValues(m_firstInput.get(), m_secondInput.get());
    setHasBoundInputs(true);
  } else {
    // A fresh clause each time: appending to the previous call's values would corrupt it.
    resetValuesClause();
    valuesClauseCheck(29);
    CallDBsprintfWrapper("%d,%d", first, second);
  }
}

void AppIfaUpgrade_UninstalledClients::setRKDBValues(RKDBDataTypeBase* first, RKDBDataTypeBase* second) {
  ClearBoundInputs();
  BindInput(first);
  BindInput(second);
}

}  // namespace zarezodud
