// Lookups of the profile-file store: the entry line of a key, its value, and the wrapper that
// reduces the result to 1/0.
#include <string.h>

#include "config/profile_file.h"
#include "config/profile_line_reader.h"
#include "config/profile_store.h"
#include "base/text_trim.h"

using zarezodud::kProfileLineBuffer;
using zarezodud::ProfileFile;
using zarezodud::ProfileLineReader;

int GetProfileEntry(const char* section, const char* key, char* out, size_t outSize, const char* file) {
  if (out != nullptr && outSize > 0) out[0] = '\0';
  if (file == nullptr) return PROFILE_CANNOT_OPEN;
  if (out == nullptr || outSize == 0) return PROFILE_BUFFER_SMALL;
  if (section == nullptr || key == nullptr) return PROFILE_TOO_LONG;
  ProfileFile in(file, "r");
  if (!in.isOpen()) return PROFILE_CANNOT_OPEN;
  char header[kProfileLineBuffer];
  if (!zarezodud::formatSectionHeader(section, header)) return PROFILE_TOO_LONG;

  ProfileLineReader reader(in.get());
  int rc = zarezodud::findSectionHeader(reader, header);
  if (rc != PROFILE_SUCCESS) return rc;
  for (;;) {
    rc = reader.next();
    if (rc == PROFILE_END_OF_FILE) return PROFILE_NO_KEY;
    if (rc != PROFILE_SUCCESS) return rc;
    if (reader.startsSection()) return PROFILE_NO_KEY;
    if (!zarezodud::equalsIgnoreCase(zarezodud::entryKey(reader.line()), key)) continue;
    // The key's own line is longer than an entry line may be: report it rather than pretend
    // the key is absent, so that no caller mistakes an unreadable value for a missing one.
    if (!reader.fits()) return PROFILE_TOO_LONG;
    return zarezodud::copyFitting(reader.line(), out, outSize) ? PROFILE_SUCCESS : PROFILE_BUFFER_SMALL;
  }
}

int GetProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                     size_t outSize, const char* file) {
  if (out == nullptr) return PROFILE_BUFFER_SMALL;
  if (!zarezodud::copyFitting(defaultValue != nullptr ? defaultValue : "", out, outSize)) {
    if (outSize > 0) out[0] = '\0';
    return PROFILE_BUFFER_SMALL;
  }
  char entry[kProfileLineBuffer];
  int rc = GetProfileEntry(section, key, entry, sizeof entry, file);
  if (rc == PROFILE_NO_SECTION || rc == PROFILE_NO_KEY) return PROFILE_SUCCESS;
  if (rc != PROFILE_SUCCESS) return rc;
  return zarezodud::copyFitting(zarezodud::entryValue(entry), out, outSize) ? PROFILE_SUCCESS
                                                                            : PROFILE_BUFFER_SMALL;
}

int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                            size_t outSize, const char* file) {
  return GetProfileString(section, key, defaultValue, out, outSize, file) == PROFILE_SUCCESS ? 1 : 0;
}
