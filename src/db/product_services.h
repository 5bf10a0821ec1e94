// ProductServices: the product's own services that the one-shot database operations call for
// steps that are not plain SQL of the caller's (activity control, version strings, the CA
// certificate, CLR functions, transport mode, virtual-server agents, the event-message
// catalogue, client records). One process-wide instance serves every caller; a host program replaces it as a
// whole with setProductServices, or per service by deriving from DefaultProductServices
// (db/default_product_services.h) and overriding only what it provides itself.
//
// Results follow the shapes the calling operations test: the int services return 0 for
// success, the bool ones true; on failure a service fills its error argument (never with a
// password).
//
// Thread-safety: setProductServices/productServices may be called from any thread; an
// installed instance must stay alive until it is replaced and must itself be safe for the
// threads that use it (the defaults are, per DBQueries object, as DBQueries is).
#ifndef ZAREZODUD_DB_PRODUCT_SERVICES_H
#define ZAREZODUD_DB_PRODUCT_SERVICES_H

#include <memory>
#include <string>

#include "db/rk_client.h"

class DBQueries;

namespace zarezodud {

class ProductServices {
 public:
  virtual ~ProductServices() = default;

  // Populates the Corehub's activity control on db's product database. True on success.
  virtual bool populateServer(DBQueries& db, std::string& error) = 0;

  // Brings the clients' service-pack version strings up to date on db's product database.
  // mode is passed through (callers use 0). 0 on success.
  virtual int UpdateVersionString(DBQueries& db, int mode, std::string& error) = 0;

  // Makes sure the Corehub has a CA key and certificate. release is the release the upgrade
  // starts from; flags are passed through (callers use 0). 0 on success (also when one exists).
  virtual int CreateCACertificate(unsigned long release, std::string& error, int flags) = 0;

  // Application-manager steps on db's product database. 0 on success.
  virtual int CreateCLRFunctions(DBQueries& db, std::string& error, int flags) = 0;
  virtual int UpgradeTransportModeForVMWare(DBQueries& db, std::string& error, int flags) = 0;
  // True on success.
  virtual bool UpgradeVirtualServerAgentOnCH(DBQueries& db, std::string& error) = 0;

  // Fills the event-message catalogue from the file at path on db's product database.
  // 0 on success; callers may ignore the result.
  virtual int simPopulateQuasarEventMessages(DBQueries& db, const char* path) = 0;

  // A client-record object for client id of db's product database (see RKClient). The caller
  // owns it; its statements run on the table framework's current connection, which the
  // calling operation makes db's product connection.
  virtual std::unique_ptr<RKClient> createClient(DBQueries& db, int id) = 0;
};

// The instance in use: the one last installed, else the process's DefaultProductServices.
ProductServices& productServices();

// Installs services (not owned; null restores the defaults) and returns the instance it
// replaces, or null when the defaults were in use.
ProductServices* setProductServices(ProductServices* services);

}  // namespace zarezodud

#endif
