// The clients' service-pack version strings, brought up to date on a given product database;
// the exported addClientSPVersionString(std::string&) uses the process's current DBQueries.
// Thread-safety: as DBQueries (one thread per object).
#ifndef ZAREZODUD_DB_CLIENT_SP_VERSION_H
#define ZAREZODUD_DB_CLIENT_SP_VERSION_H

#include <string>

class DBQueries;

namespace zarezodud {

// Has the product services' UpdateVersionString(0) run on db. 1 on success; else 0 with error
// "Failed to update the version string for the Clients in CH DB." (the service's own reason
// goes to the upgrade log).
int addClientSPVersionString(DBQueries& db, std::string& error);

}  // namespace zarezodud

#endif
