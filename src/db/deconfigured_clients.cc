// DBQueries: the two walks over the deconfigured-client procedure AppIfaUpgrade_UninstalledClients:
// every row for the deconfigured clients, one row for the agents configured on the Corehub.
// A row whose clientId is 0 reports the procedure's failure in its errString.
#include <chrono>

#include "db/db_queries.h"
#include "db/exception_text.h"
#include "db/rows/app_ifa_upgrade_uninstalled_clients.h"
#include "db/rows/db_table.h"
#include "log/format_message.h"
#include "platform/registry/rk_pi_focus.h"

using zarezodud::formatMessage;

namespace {

const char kProcedureFailed[] = "AppIfaUpgrade_UninstalledClients failed. Error[%s]";

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

unsigned int DBQueries::upgradeAllDeconfiguredClients(int upgradeFromRel, int upgradeFromBuild,
                                                      const char* focus) {
  static_cast<void>(upgradeFromRel);
  static_cast<void>(upgradeFromBuild);
  using namespace zarezodud;
  try {
    if (!useProductConnectionForTables()) {
      m_lastError = formatMessage(kProcedureFailed, m_lastError.c_str());
      return 0;
    }
    AppIfaUpgrade_UninstalledClients procedure(nullptr);
    const auto start = std::chrono::steady_clock::now();
    double procedureTime = 0.0;
    RKPI_Focus::setFocus(focus);
    procedure.setValues(0, 0);
    int rows = 0;
    for (;;) {
      const int status = getNextRow(&procedure, &rows, -1, 0);
      if (status == DBT_NO_DATA) {
        m_lastError = formatMessage(
            "upgradeAllDeconfiguredClients completed and Total Time Taken : %lf , SP Time Taken %lf and "
            "Total Rows "
            "affected %d",
            secondsSince(start), procedureTime, rows);
        return 1;
      }
      if (status != DBT_OK) {
        m_lastError = formatMessage(kProcedureFailed, procedure.getErrorStr(status).c_str());
        return 0;
      }
      // The procedure does its work before its first row arrives.
      if (rows == 1) procedureTime = secondsSince(start);
      const AppIfaUpgrade_UninstalledClients_t* row = procedure.getDataPtr();
      if (row->clientId == 0) {
        m_lastError = formatMessage("AppIfaUpgrade_UninstalledClients returned error[%s] SP Time Taken %lf ",
                                    row->errString, procedureTime);
        return 0;
      }
    }
  } catch (...) {
    m_lastError = formatMessage(kProcedureFailed, currentExceptionText().c_str());
    return 0;
  }
}

unsigned int DBQueries::UpgradeAgentsConfiguredOnCH(int upgradeFromRel, int upgradeFromBuild,
                                                    const char* focus) {
  static_cast<void>(upgradeFromRel);
  static_cast<void>(upgradeFromBuild);
  using namespace zarezodud;
  try {
    if (!useProductConnectionForTables()) {
      m_lastError = formatMessage(kProcedureFailed, m_lastError.c_str());
      return 0;
    }
    AppIfaUpgrade_UninstalledClients procedure(nullptr);
    RKPI_Focus::setFocus(focus);
    procedure.setValues(2, 0);
    const int status = getOneRow(&procedure, false, -1, 0);
    if (status != DBT_OK) {
      m_lastError = formatMessage(kProcedureFailed, procedure.getErrorStr(status).c_str());
      return 0;
    }
    const AppIfaUpgrade_UninstalledClients_t* row = procedure.getDataPtr();
    if (row->clientId == 0) {
      m_lastError = formatMessage("AppIfaUpgrade_UninstalledClients returned error[%s]", row->errString);
      return 0;
    }
    m_lastError = "upgradeAllDeconfiguredClients completed";
    return 1;
  } catch (...) {
    m_lastError = formatMessage(kProcedureFailed, currentExceptionText().c_str());
    return 0;
  }
}
