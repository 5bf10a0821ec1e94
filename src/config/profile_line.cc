// Line functions of the profile-file store: whole-line reading, line writing and in-place
// white-space trimming.
#include <string.h>

#include "config/profile_line_reader.h"
#include "config/profile_store.h"

using zarezodud::ProfileLineReader;

int TruncWhiteSpace(char* text) {
  if (text == nullptr) return PROFILE_TOO_LONG;
  std::string_view trimmed = zarezodud::trimView(text);
  memmove(text, trimmed.data(), trimmed.size());
  text[trimmed.size()] = '\0';
  return PROFILE_SUCCESS;
}

int ReadLine(FILE* file, size_t size, char* out) {
  if (file == nullptr) return PROFILE_READ_ERROR;
  if (out == nullptr) return PROFILE_BUFFER_SMALL;
  if (size > 0) out[0] = '\0';
  ProfileLineReader reader(file);
  int rc = reader.next();
  if (rc != PROFILE_SUCCESS) return rc;
  return zarezodud::copyFitting(reader.line(), out, size) ? PROFILE_SUCCESS : PROFILE_BUFFER_SMALL;
}

int WriteLine(FILE* file, const char* text) {
  if (file == nullptr || text == nullptr) return PROFILE_WRITE_ERROR;
  return zarezodud::writeProfileLine(file, text);
}
