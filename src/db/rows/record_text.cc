#include "db/rows/record_text.h"

#include <cstring>

namespace zarezodud {

void copyRecordText(char* dest, std::size_t size, const char* source) {
  if (dest == nullptr || size == 0) return;
  std::size_t length = 0;
  if (source != nullptr) {
    while (length + 1 < size && source[length] != '\0') ++length;
    std::memcpy(dest, source, length);
  }
  dest[length] = '\0';
}

void replaceRecordHeapText(char*& dest, const char* source) {
  char* copy = nullptr;
  if (source != nullptr) {
    const std::size_t length = std::strlen(source);
    copy = new char[length + 1];
    std::memcpy(copy, source, length + 1);
  }
  delete[] dest;
  dest = copy;
}

}  // namespace zarezodud
