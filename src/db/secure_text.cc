#include "db/secure_text.h"

#include <cstring>

namespace zarezodud {

void clearBuffer(void* data, std::size_t size) {
  if (data == nullptr) return;
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  while (size-- > 0) *p++ = 0;
}

void clearString(std::string& text) {
  if (!text.empty()) clearBuffer(&text[0], text.size());
  text.clear();
}

int credentialUserLength(const char* text) {
  if (text == nullptr) return 0;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (!digit(text[0]) || !digit(text[1])) return 0;
  return (text[0] - '0') * 10 + (text[1] - '0');
}

}  // namespace zarezodud
