#include "support/connection_redirect.h"

#include <algorithm>
#include <vector>

#include "platform/odbc/odbc_driver_detection.h"

namespace ztest {

int RedirectConnection::OpenSQLConnectionUsingConnectionString(const std::string&, bool unused) {
  return OdbcConnection::OpenSQLConnectionUsingConnectionString(target_, unused);
}

ScopedConnectionRedirect::ScopedConnectionRedirect(const std::string& target)
    : previous_(zarezodud::setSQLConnectionFactory([target]() { return new RedirectConnection(target); })) {}

ScopedConnectionRedirect::~ScopedConnectionRedirect() { zarezodud::setSQLConnectionFactory(previous_); }

std::string sqliteConnectionString(const std::string& file) {
  return "Driver={SQLite3};Database=" + file + ";";
}

bool odbcDriverInstalled(const std::string& driver) {
  const std::vector<std::string> drivers = zarezodud::installedOdbcDrivers();
  return std::find(drivers.begin(), drivers.end(), driver) != drivers.end();
}

}  // namespace ztest
