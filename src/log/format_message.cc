#include "log/format_message.h"

#include <cstdarg>
#include <cstdio>

namespace zarezodud {

std::string formatMessage(const char* format, ...) {
  char buffer[kMessageBufferSize];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return std::string();
  return std::string(buffer);
}

}  // namespace zarezodud
