// Numeric and boolean values of the profile-file store, read and written through the string
// lookups and writes.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "config/profile_line_reader.h"
#include "config/profile_store.h"
#include "base/text_trim.h"

namespace {

// A numeric value holds at most 10 digits (an 11-byte buffer).
constexpr size_t kNumberBuffer = 11;

bool isWordIn(const char* word, const char* const* words) {
  for (; *words != nullptr; ++words) {
    if (zarezodud::equalsIgnoreCase(word, *words)) return true;
  }
  return false;
}

const char* const kTrueWords[] = {"YES", "Y", "1", "ON", "ENABLED", "ENABLE", "TRUE", nullptr};
const char* const kFalseWords[] = {"NO", "N", "0", "OFF", "DISABLED", "DISABLE", "FALSE", nullptr};

}  // namespace

int GetProfileLong(const char* section, const char* key, int defaultValue, const char* file) {
  char entry[zarezodud::kProfileLineBuffer];
  int rc = GetProfileEntry(section, key, entry, sizeof entry, file);
  if (rc == PROFILE_NO_SECTION || rc == PROFILE_NO_KEY) return defaultValue;
  if (rc != PROFILE_SUCCESS) return rc;
  char digits[kNumberBuffer];
  rc = ParseProfileEntry(entry, nullptr, 0, digits, sizeof digits);
  if (rc != PROFILE_SUCCESS) return rc;
  if (digits[0] == '\0') return 0;
  for (const char* p = digits; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return PROFILE_NOT_VALUE;
  }
  // Ten digits can exceed the int range; such a value would come back as a garbage number,
  // possibly negative and so mistaken for a result code. Convert in a wider type and refuse it.
  long long value = strtoll(digits, nullptr, 10);
  if (value > INT_MAX) return PROFILE_NOT_VALUE;
  return static_cast<int>(value);
}

int GetProfileBoolean(const char* section, const char* key, char defaultValue, char* out, const char* file) {
  if (out == nullptr) return PROFILE_BUFFER_SMALL;
  *out = defaultValue;
  char word[zarezodud::kProfileLineBuffer];
  int rc = GetProfileString(section, key, defaultValue != 0 ? "1" : "0", word, sizeof word, file);
  if (rc != PROFILE_SUCCESS) return rc;
  if (word[0] == '\0') return PROFILE_SUCCESS;
  if (isWordIn(word, kTrueWords)) {
    *out = 1;
  } else if (isWordIn(word, kFalseWords)) {
    *out = 0;
  } else {
    return PROFILE_NOT_VALUE;
  }
  return PROFILE_SUCCESS;
}

int SetProfileLong(const char* section, const char* key, long value, const char* file) {
  char text[32];
  snprintf(text, sizeof text, "%ld", value);
  return SetProfileString(section, key, text, file);
}

int SetProfileBoolean(const char* section, const char* key, char value, const char* file) {
  return SetProfileString(section, key, value != 0 ? "1" : "0", file);
}

int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* file) {
  return GetProfileLong(section, key, defaultValue, file);
}
