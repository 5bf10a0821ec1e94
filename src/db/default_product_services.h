// DefaultProductServices: the least real work behind each product service. The CA certificate
// service creates a CA key and a self-signed CA certificate in "<product directory>/certificates"
// when none is there. Every other service runs a SQL script named after it
// ("PopulateActivity.sql", "UpdateVersionString.sql", "CreateCLRFunctions.sql",
// "UpgradeTransportModeForVMWare.sql", "UpgradeVirtualServerAgentOnCH.sql") from the service
// scripts directory (registry key "Base", value "sServiceScriptsDirectory", current focus) on
// the product database of the DBQueries it is given, as a checked script file with transaction
// abort on; the event-message service runs the file it is given the same way. Client records
// are rows of APP_Client read and written through the table framework. A missing
// directory setting or script is a failure whose message names what is missing.
//
// Thread-safety: stateless; concurrent calls are safe as long as each uses its own DBQueries.
#ifndef ZAREZODUD_DB_DEFAULT_PRODUCT_SERVICES_H
#define ZAREZODUD_DB_DEFAULT_PRODUCT_SERVICES_H

#include <string>

#include "db/product_services.h"

namespace zarezodud {

class DefaultProductServices : public ProductServices {
 public:
  bool populateServer(DBQueries& db, std::string& error) override;
  int UpdateVersionString(DBQueries& db, int mode, std::string& error) override;
  int CreateCACertificate(unsigned long release, std::string& error, int flags) override;
  int CreateCLRFunctions(DBQueries& db, std::string& error, int flags) override;
  int UpgradeTransportModeForVMWare(DBQueries& db, std::string& error, int flags) override;
  bool UpgradeVirtualServerAgentOnCH(DBQueries& db, std::string& error) override;
  int simPopulateQuasarEventMessages(DBQueries& db, const char* path) override;
  // A DefaultRKClient (db/default_rk_client.h).
  std::unique_ptr<RKClient> createClient(DBQueries& db, int id) override;

  // Runs the service script fileName from the service scripts directory on db; true on
  // success, else false with error set.
  static bool runServiceScript(DBQueries& db, const std::string& fileName, std::string& error);
  // Runs the script at path on db's product database; true on success, else false with error
  // set ("Service script [<path>] not found." when there is no file).
  static bool runScriptFile(DBQueries& db, const std::string& path, std::string& error);
};

}  // namespace zarezodud

#endif
