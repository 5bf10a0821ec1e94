#include "db/default_product_services.h"

#include "db/db_queries.h"
#include "db/default_rk_client.h"
#include "log/format_message.h"
#include "log/zarezodud_logger.h"
#include "platform/crypto/ca_certificate.h"
#include "platform/registry/registry_names.h"
#include "platform/registry/rk_pi_base.h"
#include "platform/registry/rk_platform_info.h"
#include "platform/fs/zu_file.h"
#include "platform/fs/zu_path.h"

namespace zarezodud {

namespace {

const char kCertificatesDirectory[] = "certificates";

}  // namespace

bool DefaultProductServices::runScriptFile(DBQueries& db, const std::string& path, std::string& error) {
  if (!CZuFile::Exists(path)) {
    error = formatMessage("Service script [%s] not found.", path.c_str());
    return false;
  }
  int code = 0;
  if (!db.executeSQLFile(path, code, 1, 1, "ON")) {
    error = db.getLastError();
    return false;
  }
  return true;
}

bool DefaultProductServices::runServiceScript(DBQueries& db, const std::string& fileName,
                                              std::string& error) {
  RKPlatformInfo registry;
  std::string directory;
  if (!registry.getString(registry_names::kProductKey, registry_names::kServiceScriptsDirectoryValue,
                          &directory) ||
      directory.empty()) {
    error = formatMessage(
        "Service scripts directory not found in registry key [%s] value [%s]; cannot run [%s].",
        registry_names::kProductKey, registry_names::kServiceScriptsDirectoryValue, fileName.c_str());
    return false;
  }
  return runScriptFile(db, CZuPath::Append(directory, fileName), error);
}

bool DefaultProductServices::populateServer(DBQueries& db, std::string& error) {
  return runServiceScript(db, "PopulateActivity.sql", error);
}

int DefaultProductServices::UpdateVersionString(DBQueries& db, int mode, std::string& error) {
  static_cast<void>(mode);
  return runServiceScript(db, "UpdateVersionString.sql", error) ? 0 : 1;
}

int DefaultProductServices::CreateCACertificate(unsigned long release, std::string& error, int flags) {
  static_cast<void>(release);
  static_cast<void>(flags);
  RKPI_Base base;
  const char* productDirectory = base.getQuasarDirectory();
  if (productDirectory == nullptr) {
    error = "Product directory not found in Base registry key; cannot create the CA certificate.";
    return 1;
  }
  return ensureCACertificate(CZuPath::Append(productDirectory, kCertificatesDirectory), error) ? 0 : 1;
}

int DefaultProductServices::CreateCLRFunctions(DBQueries& db, std::string& error, int flags) {
  static_cast<void>(flags);
  return runServiceScript(db, "CreateCLRFunctions.sql", error) ? 0 : 1;
}

int DefaultProductServices::UpgradeTransportModeForVMWare(DBQueries& db, std::string& error, int flags) {
  static_cast<void>(flags);
  return runServiceScript(db, "UpgradeTransportModeForVMWare.sql", error) ? 0 : 1;
}

bool DefaultProductServices::UpgradeVirtualServerAgentOnCH(DBQueries& db, std::string& error) {
  return runServiceScript(db, "UpgradeVirtualServerAgentOnCH.sql", error);
}

int DefaultProductServices::simPopulateQuasarEventMessages(DBQueries& db, const char* path) {
  std::string error;
  if (runScriptFile(db, path != nullptr ? path : "", error)) return 0;
  // Callers ignore the result, so the reason is kept in the upgrade log.
  ZARezodudLogger::LogLine("DefaultProductServices::simPopulateQuasarEventMessages", "%s", error.c_str());
  return 1;
}

std::unique_ptr<RKClient> DefaultProductServices::createClient(DBQueries& db, int id) {
  static_cast<void>(db);
  return std::unique_ptr<RKClient>(new DefaultRKClient(id));
}

}  // namespace zarezodud
