// CTimeStamp: the current time. Thread-safe.
#ifndef ZAREZODUD_PLATFORM_FS_TIME_STAMP_H
#define ZAREZODUD_PLATFORM_FS_TIME_STAMP_H

#include <cstdint>

namespace zarezodud {

class CTimeStamp {
 public:
  // Seconds since 1970-01-01 00:00:00 UTC.
  static int64_t Now();
};

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_FS_TIME_STAMP_H
