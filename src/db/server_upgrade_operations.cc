// DBQueries: the server-upgrade operations that drive the product services: Corehub
// activation (certificate, client password, client version strings), the activity control and
// the application-manager steps; and the clients' service-pack version strings.
#include <string>

#include "db/client_sp_version.h"
#include "db/current_db_queries.h"
#include "db/db_queries.h"
#include "db/exception_text.h"
#include "db/product_services.h"
#include "log/format_message.h"
#include "log/zarezodud_logger.h"
#include "platform/registry/rk_pi_focus.h"

using zarezodud::currentExceptionText;
using zarezodud::formatMessage;

namespace {

const char kVersionStringFailure[] = "Failed to update the version string for the Clients in CH DB.";
const char kUpdated[] = "Database is updated with the new version successfully.\n";
// The release whose builds need no activation step, and the last release that needs the CA
// certificate and the version strings.
const unsigned long kCurrentRelease = 16;
const unsigned long kLastOldRelease = 14;

const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }

// "11.0.0(BUILD80)": the release the installer activates.
std::string installerTargetRelease() { return std::string("11.0.0") + "(" + "BUILD80" + ")"; }

}  // namespace

namespace zarezodud {

int addClientSPVersionString(DBQueries& db, std::string& error) {
  std::string reason;
  if (productServices().UpdateVersionString(db, 0, reason) != 0) {
    ZARezodudLogger::LogLine("addClientSPVersionString", "UpdateVersionString failed: %s", reason.c_str());
    error = kVersionStringFailure;
    return 0;
  }
  return 1;
}

}  // namespace zarezodud

int addClientSPVersionString(std::string& error) {
  try {
    DBQueries* db = zarezodud::currentDBQueries();
    if (db == nullptr) {
      ZARezodudLogger::LogLine("addClientSPVersionString", "%s",
                               "No product database has been opened in this process.");
      error = kVersionStringFailure;
      return 0;
    }
    return zarezodud::addClientSPVersionString(*db, error);
  } catch (...) {
    error = kVersionStringFailure;
    return 0;
  }
}

unsigned int DBQueries::SimUpdateDBForCHUpgrade(const char* focus, const char* toRelease,
                                                unsigned long upgradeFromRel, unsigned long upgradeFromBuild,
                                                unsigned long oemId, bool fromInstaller,
                                                const std::string clientName, std::string& progress) {
  try {
    progress = formatMessage(
        "Parameters passed to the function: focus [%s], toRelease [%s], upgradeFromRel [%lu], "
        "upgradeFromBuild "
        "[%lu], oemId [%lu], bFromInstaller [%d], client [%s]\n",
        orEmpty(focus), orEmpty(toRelease), upgradeFromRel, upgradeFromBuild, oemId, fromInstaller ? 1 : 0,
        clientName.c_str());
    zarezodud::RKPI_Focus::setFocus(focus);

    if (upgradeFromRel == kCurrentRelease && upgradeFromBuild != 0) {
      progress += kUpdated;
      return 1;
    }
    if (upgradeFromRel <= kLastOldRelease) {
      std::string error;
      if (zarezodud::productServices().CreateCACertificate(upgradeFromRel, error, 0) != 0) {
        progress += "CreateCACertificate failed: " + error;
        return 0;
      }
      progress += "Chk point: Passed CreateCACertificate.\n";
    }
    if (fromInstaller) {
      std::string error;
      if (!setClientPassword(focus, error)) {
        progress += "Failed to set client password: " + error;
        return 0;
      }
      progress += "Chk point: updated client password in the client tbl.\n";
    }
    if (upgradeFromRel <= kLastOldRelease) {
      std::string error;
      if (!zarezodud::addClientSPVersionString(*this, error)) {
        progress += "Failed to update client SP version: " + error;
        return 0;
      }
      progress += "Chk point: Passed addClientSPVersionString.\n";
    }
    progress += kUpdated;
    return 1;
  } catch (...) {
    // Nothing may leave the library as an exception; the progress text says where it stopped.
    progress += formatMessage("Activation stopped by an error: %s", currentExceptionText().c_str());
    return 0;
  }
}

unsigned int DBQueries::activateCHForInstaller(int upgradeFromRel, int upgradeFromBuild, const char* focus,
                                               const char* clientName, int oemId) {
  std::string progress;
  unsigned int result = 0;
  try {
    result = SimUpdateDBForCHUpgrade(focus, installerTargetRelease().c_str(),
                                     static_cast<unsigned long>(upgradeFromRel),
                                     static_cast<unsigned long>(upgradeFromBuild),
                                     static_cast<unsigned long>(oemId), true, orEmpty(clientName), progress);
  } catch (...) {
    progress += formatMessage("Activation stopped by an error: %s", currentExceptionText().c_str());
    result = 0;
  }
  m_lastError = formatMessage("%s", progress.c_str());
  return result;
}

unsigned int DBQueries::activateCH(int upgradeFromRel, int upgradeFromBuild, const char* focus) {
  std::string progress;
  unsigned int result = 0;
  try {
    result = SimUpdateDBForCHUpgrade(focus, "", static_cast<unsigned long>(upgradeFromRel),
                                     static_cast<unsigned long>(upgradeFromBuild), 0, false, "", progress);
  } catch (...) {
    progress += formatMessage("Activation stopped by an error: %s", currentExceptionText().c_str());
    result = 0;
  }
  m_lastError = formatMessage("%s", progress.c_str());
  return result;
}

unsigned int DBQueries::populateCHActivityControl() {
  try {
    std::string reason;
    if (zarezodud::productServices().populateServer(*this, reason)) return 1;
    ZARezodudLogger::LogLine("DBQueries::populateCHActivityControl", "populateServer failed: %s",
                             reason.c_str());
    m_lastError = "Failed to populate Activity control for the Corehub.";
    return 0;
  } catch (...) {
    m_lastError = formatMessage("Failed to populate Activity control for the Corehub. Error[%s]",
                                currentExceptionText().c_str());
    return 0;
  }
}

unsigned int DBQueries::AppMgrUpdateDBForCHUpgrade(int upgradeFromRel, int upgradeFromBuild,
                                                   const char* focus, bool fromInstaller) {
  try {
    std::string progress = formatMessage(
        "AppUpdateDBForCHUpgrade: Parameters passed to the function: focus [%s], bFromInstaller [%d]\n",
        orEmpty(focus), fromInstaller ? 1 : 0);
    unsigned int result = 0;
    zarezodud::ProductServices& services = zarezodud::productServices();
    std::string error;
    // The CLR functions and the transport mode are recorded; they do not decide the result.
    if (services.CreateCLRFunctions(*this, error, 0) != 0) {
      progress += "Unable to Add CLR functions: " + error + "\n";
    } else {
      progress += "Chk point: Passed CreateCLRFunctions.\n";
    }
    error.clear();
    if (services.UpgradeTransportModeForVMWare(*this, error, 0) != 0) {
      progress += "Failed Upgrade Transport Mode for VMWare: " + error + "\n";
    } else {
      progress += "Chk point: success on Upgrade Transport Mode for VMWare\n";
    }
    if (UpgradeAgentsConfiguredOnCH(upgradeFromRel, upgradeFromBuild, focus) != 1) {
      progress += "UpgradeAgentsConfiguredOnCH failed" + m_lastError;
    } else {
      progress += "Chk point: Passed UpgradeAgentsConfiguredOnClient.\n";
      error.clear();
      if (services.UpgradeVirtualServerAgentOnCH(*this, error)) {
        progress += "Chk point: Passed UpgradeVirtualServerAgentOnCH.\n";
        progress += "AppUpdateDBForCHUpgrade completed successfully.\n";
        result = 1;
      } else {
        progress += "UpgradeVirtualServerAgentOnCH failed\n";
      }
    }
    m_lastError = formatMessage("%s", progress.c_str());
    return result;
  } catch (...) {
    m_lastError =
        formatMessage("AppUpdateDBForCHUpgrade stopped by an error: %s", currentExceptionText().c_str());
    return 0;
  }
}
