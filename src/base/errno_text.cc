#include "base/errno_text.h"

#include <string.h>

namespace zarezodud {

std::string errnoText(int err) {
  char buffer[256];
  // GNU strerror_r returns the text, which may or may not be the buffer.
  const char* text = strerror_r(err, buffer, sizeof buffer);
  return text != nullptr ? std::string(text) : "error " + std::to_string(err);
}

std::string errnoMessage(const std::string& what, const std::string& path, int err) {
  return what + " [" + path + "]: " + errnoText(err);
}

}  // namespace zarezodud
