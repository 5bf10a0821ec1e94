// DBodbcDate: turns a time in seconds since the epoch into the date-time field of a table
// record. Thread-safe (uses the re-entrant time conversions).
#ifndef ZAREZODUD_DB_ROWS_DB_ODBC_DATE_H
#define ZAREZODUD_DB_ROWS_DB_ODBC_DATE_H

#include "db/rows/rk_timestamp.h"

namespace zarezodud {

// Fills out with seconds as local time (local true) or UTC (false): the timestamp fields
// (fraction 0), the area with the text "YYYY-MM-DD HH:MM:SS", and the flag 0. Returns 1, or 0
// (out cleared) when the time cannot be converted.
int DBodbcDate(long seconds, DB_DATETIME& out, bool local);

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_DB_ODBC_DATE_H
