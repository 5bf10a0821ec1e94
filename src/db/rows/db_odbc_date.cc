#include "db/rows/db_odbc_date.h"

#include <cstdio>
#include <ctime>

namespace zarezodud {

int DBodbcDate(long seconds, DB_DATETIME& out, bool local) {
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm parts{};
  const bool converted = local ? localtime_r(&when, &parts) != nullptr : gmtime_r(&when, &parts) != nullptr;
  if (!converted || parts.tm_year + 1900 < 1 || parts.tm_year + 1900 > 9999) {
    out.clear();
    return 0;
  }
  RKTIMESTAMP_STRUCT ts;
  ts.year = static_cast<std::int16_t>(parts.tm_year + 1900);
  ts.month = static_cast<std::uint16_t>(parts.tm_mon + 1);
  ts.day = static_cast<std::uint16_t>(parts.tm_mday);
  ts.hour = static_cast<std::uint16_t>(parts.tm_hour);
  ts.minute = static_cast<std::uint16_t>(parts.tm_min);
  ts.second = static_cast<std::uint16_t>(parts.tm_sec);
  ts.fraction = 0;
  out = ts;
  std::snprintf(out.area, sizeof(out.area), "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return 1;
}

}  // namespace zarezodud
