#include "db/rows/app_ifa_upgrade_uninstalled_clients.h"

#include "db/rows/record_text.h"

namespace zarezodud {

AppIfaUpgrade_UninstalledClients_t::AppIfaUpgrade_UninstalledClients_t() {
  clientId = 0;
  copyRecordText(clientName, sizeof(clientName), "");
  simOperatingSystemId = 0;
  releaseId = 0;
  errCode = 0;
  copyRecordText(errString, sizeof(errString), "");
}

AppIfaUpgrade_UninstalledClients_t::~AppIfaUpgrade_UninstalledClients_t() = default;

AppIfaUpgrade_UninstalledClients_t2::AppIfaUpgrade_UninstalledClients_t2() = default;

AppIfaUpgrade_UninstalledClients_t2::~AppIfaUpgrade_UninstalledClients_t2() = default;

const RKDBTableDef& AppIfaUpgrade_UninstalledClients_t2::definition() {
  static const RKDBTableDef def{
      "AppIfaUpgrade_UninstalledClients",
      2,
      "Procedure AppIfaUpgrade_UninstalledClients",
      nullptr,
      nullptr,
      {
          {"clientId", "i"},
          {"clientName", "s511"},
          {"simOperatingSystemId", "i"},
          {"releaseId", "i"},
          {"errCode", "i"},
          {"errString", "s2049"},
      },
      nullptr,
      {},
      {},
  };
  return def;
}

}  // namespace zarezodud
