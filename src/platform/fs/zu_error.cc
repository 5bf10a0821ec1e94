#include "platform/fs/zu_error.h"

#include "base/errno_text.h"

namespace zarezodud {

CZuError CZuError::FromErrno(const std::string& what, int errnum) {
  return Failure(what + ": " + errnoText(errnum));
}

}  // namespace zarezodud
