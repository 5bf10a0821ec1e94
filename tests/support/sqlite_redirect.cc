#include "support/sqlite_redirect.h"

#include <algorithm>
#include <vector>

#include "platform/odbc_driver_detection.h"

namespace ztest {

int SqliteRedirectConnection::OpenSQLConnectionUsingConnectionString(const std::string&, bool unused) {
  return OdbcConnection::OpenSQLConnectionUsingConnectionString(ScopedSqliteRedirect::connectionString(file_),
                                                                unused);
}

ScopedSqliteRedirect::ScopedSqliteRedirect(const std::string& file)
    : previous_(zarezodud::setSQLConnectionFactory([file]() { return new SqliteRedirectConnection(file); })) {
}

ScopedSqliteRedirect::~ScopedSqliteRedirect() { zarezodud::setSQLConnectionFactory(previous_); }

std::string ScopedSqliteRedirect::connectionString(const std::string& file) {
  return "Driver={SQLite3};Database=" + file + ";";
}

bool ScopedSqliteRedirect::driverInstalled() {
  const std::vector<std::string> drivers = zarezodud::installedOdbcDrivers();
  return std::find(drivers.begin(), drivers.end(), "SQLite3") != drivers.end();
}

}  // namespace ztest
