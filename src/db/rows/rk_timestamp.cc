#include "db/rows/rk_timestamp.h"

namespace zarezodud {

bool operator==(const RKTIMESTAMP_STRUCT& a, const RKTIMESTAMP_STRUCT& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second && a.fraction == b.fraction;
}

bool operator!=(const RKTIMESTAMP_STRUCT& a, const RKTIMESTAMP_STRUCT& b) { return !(a == b); }

DB_DATETIME::DB_DATETIME(const DB_DATETIME& other) { *this = other; }

void DB_DATETIME::clear() {
  timestamp = RKTIMESTAMP_STRUCT{};
  area[0] = 0;
  flag = 0;
}

DB_DATETIME& DB_DATETIME::operator=(const RKTIMESTAMP_STRUCT& ts) {
  timestamp.year = ts.year;
  timestamp.month = ts.month;
  timestamp.day = ts.day;
  timestamp.hour = ts.hour;
  timestamp.minute = ts.minute;
  timestamp.second = ts.second;
  timestamp.fraction = ts.fraction;
  area[0] = 0;
  flag = 0;
  return *this;
}

DB_DATETIME& DB_DATETIME::operator=(const DB_DATETIME& other) {
  if (this == &other) return *this;
  *this = other.timestamp;
  flag = other.flag;
  return *this;
}

}  // namespace zarezodud
