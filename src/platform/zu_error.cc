#include "platform/zu_error.h"

#include <cstring>

namespace zarezodud {

CZuError CZuError::FromErrno(const std::string& what, int errnum) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not be the buffer.
  const char* text = strerror_r(errnum, buffer, sizeof buffer);
  return Failure(what + ": " + text);
}

}  // namespace zarezodud
