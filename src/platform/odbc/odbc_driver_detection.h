// Choosing the SQL Server ODBC driver: an explicit choice in ZAREZODUD_ODBC_DRIVER wins,
// otherwise the most preferred installed driver.
//
// Thread-safety: thread-safe.
#ifndef ZAREZODUD_PLATFORM_ODBC_ODBC_DRIVER_DETECTION_H
#define ZAREZODUD_PLATFORM_ODBC_ODBC_DRIVER_DETECTION_H

#include <string>
#include <vector>

namespace zarezodud {

// The SQL Server drivers this system knows, most preferred first.
const std::vector<std::string>& preferredSqlServerDrivers();

// overrideName when not empty; else the first preferred driver found in installed (names
// compared ignoring ASCII case, the preferred spelling returned); else the most preferred.
std::string chooseSqlServerDriver(const std::vector<std::string>& installed, const std::string& overrideName);

// The driver names the driver manager lists (empty when it cannot be asked).
std::vector<std::string> installedOdbcDrivers();

// chooseSqlServerDriver(installedOdbcDrivers(), $ZAREZODUD_ODBC_DRIVER); the driver manager is
// not asked when the override is set.
std::string detectSqlServerDriver();

}  // namespace zarezodud

#endif
