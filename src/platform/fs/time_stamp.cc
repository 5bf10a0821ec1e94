#include "platform/fs/time_stamp.h"

#include <chrono>

namespace zarezodud {

int64_t CTimeStamp::Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace zarezodud
