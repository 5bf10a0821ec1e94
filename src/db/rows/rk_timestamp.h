// Date-time records of the table layer: RKTIMESTAMP_STRUCT, a 16-byte timestamp laid out like
// the ODBC driver's own timestamp structure (so a fetched timestamp can be copied byte for
// byte), and DB_DATETIME, the date-time field of a generated table record.
//
// Thread-safety: plain values; no shared state.
#ifndef ZAREZODUD_DB_ROWS_RK_TIMESTAMP_H
#define ZAREZODUD_DB_ROWS_RK_TIMESTAMP_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace zarezodud {

// Year, month, day, hour, minute, second and fraction (nanoseconds), all zero when constructed.
struct RKTIMESTAMP_STRUCT {
  std::int16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint32_t fraction = 0;
};

// The driver copies timestamps into and out of this structure as raw bytes: the layout must
// match the ODBC TIMESTAMP_STRUCT exactly.
static_assert(sizeof(RKTIMESTAMP_STRUCT) == 16, "timestamp must be 16 bytes");
static_assert(offsetof(RKTIMESTAMP_STRUCT, year) == 0, "year first");
static_assert(offsetof(RKTIMESTAMP_STRUCT, month) == 2, "month at 2");
static_assert(offsetof(RKTIMESTAMP_STRUCT, day) == 4, "day at 4");
static_assert(offsetof(RKTIMESTAMP_STRUCT, hour) == 6, "hour at 6");
static_assert(offsetof(RKTIMESTAMP_STRUCT, minute) == 8, "minute at 8");
static_assert(offsetof(RKTIMESTAMP_STRUCT, second) == 10, "second at 10");
static_assert(offsetof(RKTIMESTAMP_STRUCT, fraction) == 12, "fraction at 12");
static_assert(std::is_trivially_copyable<RKTIMESTAMP_STRUCT>::value, "copied as bytes");

// Field-wise equality of two timestamps.
bool operator==(const RKTIMESTAMP_STRUCT& a, const RKTIMESTAMP_STRUCT& b);
bool operator!=(const RKTIMESTAMP_STRUCT& a, const RKTIMESTAMP_STRUCT& b);

// The date-time field of a table record: the timestamp, a 40-byte area (only its first byte
// is ever reset, which makes it an empty text) and a one-byte flag. Constructed cleared.
struct DB_DATETIME {
  static constexpr std::size_t kAreaSize = 40;

  RKTIMESTAMP_STRUCT timestamp;
  char area[kAreaSize] = {};
  char flag = 0;

  DB_DATETIME() = default;
  DB_DATETIME(const DB_DATETIME& other);

  // Sets every timestamp field, the first byte of the area and the flag to 0.
  void clear();
  // Copies the seven timestamp fields; clears the first byte of the area and the flag.
  DB_DATETIME& operator=(const RKTIMESTAMP_STRUCT& ts);
  // As assigning other's timestamp, then copies other's flag.
  DB_DATETIME& operator=(const DB_DATETIME& other);
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RK_TIMESTAMP_H
