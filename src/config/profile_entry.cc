// Splitting one entry line into key and value for callers of the profile-file store.
#include <string.h>

#include "config/profile_line_reader.h"
#include "config/profile_store.h"

int ParseProfileEntry(const char* line, char* keyOut, size_t keySize, char* valueOut, size_t valueSize) {
  if (keyOut != nullptr && keySize > 0) keyOut[0] = '\0';
  if (valueOut != nullptr && valueSize > 0) valueOut[0] = '\0';
  if (line == nullptr) return PROFILE_TOO_LONG;
  std::string_view text(line, strnlen(line, PROFILE_MAX_ENTRY + 1));
  if (text.size() > PROFILE_MAX_ENTRY) return PROFILE_TOO_LONG;
  if (keyOut != nullptr && !zarezodud::copyFitting(zarezodud::entryKey(text), keyOut, keySize)) {
    return PROFILE_BUFFER_SMALL;
  }
  if (valueOut != nullptr && !zarezodud::copyFitting(zarezodud::entryValue(text), valueOut, valueSize)) {
    return PROFILE_BUFFER_SMALL;
  }
  return PROFILE_SUCCESS;
}
