#include "platform/odbc/odbc_driver_detection.h"

#include "platform/settings/host_settings.h"

#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>

#include "base/text_trim.h"
#include "platform/odbc/odbc_handles.h"

namespace zarezodud {

const std::vector<std::string>& preferredSqlServerDrivers() {
  static const std::vector<std::string> kDrivers = {"ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server",
                                                    "FreeTDS"};
  return kDrivers;
}

std::string chooseSqlServerDriver(const std::vector<std::string>& installed, const std::string& overrideName) {
  std::string chosen = trimCopy(overrideName);
  if (!chosen.empty()) return chosen;
  for (const std::string& preferred : preferredSqlServerDrivers()) {
    for (const std::string& name : installed) {
      if (equalsIgnoreCase(trimCopy(name), preferred)) return preferred;
    }
  }
  return preferredSqlServerDrivers().front();
}

std::vector<std::string> installedOdbcDrivers() {
  std::vector<std::string> names;
  OdbcHandle env;
  if (!env.allocate(OdbcHandle::Kind::kEnvironment, nullptr)) return names;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLCHAR description[512];
    SQLCHAR attributes[2048];
    SQLSMALLINT descriptionLength = 0;
    SQLSMALLINT attributesLength = 0;
    SQLRETURN rc = SQLDrivers(env.get(), direction, description, sizeof description, &descriptionLength, attributes,
                              sizeof attributes, &attributesLength);
    if (!SQL_SUCCEEDED(rc)) break;
    names.emplace_back(reinterpret_cast<const char*>(description));
    direction = SQL_FETCH_NEXT;
  }
  return names;
}

std::string detectSqlServerDriver() {
  std::string chosen = effectiveOdbcDriver();
  if (!chosen.empty()) return chosen;
  return chooseSqlServerDriver(installedOdbcDrivers(), "");
}

}  // namespace zarezodud
