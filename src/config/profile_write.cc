// Writes of the profile-file store: one key=value entry set in a section by rewriting the whole
// file into a temporary file beside it and renaming that over the target.
#include <string.h>

#include <string>

#include "config/profile_file.h"
#include "config/profile_line_reader.h"
#include "config/profile_store.h"
#include "base/text_trim.h"
#include "base/atomic_file.h"

using zarezodud::kProfileLineBuffer;
using zarezodud::ProfileLineReader;

namespace {

// Prefix of the temporary files; a random suffix makes each writer's name its own.
constexpr char kTempPrefix[] = "~PROFILE.TMP.";
constexpr size_t kTempSuffixLength = 6;

// Copies the lines of in to out, putting entry into the section whose header is header:
// in place of the section's first line whose key equals key, else at the section's end; a
// missing section is appended with the entry at the end of the file. Returns 0, -8 or -9.
int rewriteWithEntry(FILE* in, FILE* out, std::string_view header, std::string_view key,
                     std::string_view entry) {
  enum class Step { kSeekHeader, kInSection, kCopyRest } step = Step::kSeekHeader;
  ProfileLineReader reader(in);
  for (;;) {
    int rc = reader.next();
    if (rc == PROFILE_END_OF_FILE) break;
    if (rc != PROFILE_SUCCESS) return rc;
    const std::string_view line = reader.line();
    const std::string_view lineKey = zarezodud::entryKey(line);
    switch (step) {
      case Step::kSeekHeader:
        if (reader.fits() && zarezodud::equalsIgnoreCase(lineKey, header)) step = Step::kInSection;
        break;
      case Step::kInSection:
        if (reader.startsSection()) {
          if (zarezodud::writeProfileLine(out, entry) != PROFILE_SUCCESS) return PROFILE_WRITE_ERROR;
          step = Step::kCopyRest;
        } else if (zarezodud::equalsIgnoreCase(lineKey, key)) {
          // The key's first line in the section is its entry whatever its length (lookups
          // report an over-long one as too long), so the new entry replaces it there.
          step = Step::kCopyRest;
          if (zarezodud::writeProfileLine(out, entry) != PROFILE_SUCCESS) return PROFILE_WRITE_ERROR;
          continue;  // the entry takes this line's place
        }
        break;
      case Step::kCopyRest:
        break;
    }
    if (zarezodud::writeProfileLine(out, line) != PROFILE_SUCCESS) return PROFILE_WRITE_ERROR;
  }
  if (step == Step::kSeekHeader && zarezodud::writeProfileLine(out, header) != PROFILE_SUCCESS) {
    return PROFILE_WRITE_ERROR;
  }
  if (step != Step::kCopyRest && zarezodud::writeProfileLine(out, entry) != PROFILE_SUCCESS) {
    return PROFILE_WRITE_ERROR;
  }
  return PROFILE_SUCCESS;
}

}  // namespace

int SetProfileString(const char* section, const char* key, const char* value, const char* file) {
  if (file == nullptr) return PROFILE_CANNOT_OPEN;
  const std::string target(file);
  const size_t slash = target.rfind('/');
  if (slash == std::string::npos || target.size() > PROFILE_MAX_PATH ||
      slash + 1 + strlen(kTempPrefix) + kTempSuffixLength > PROFILE_MAX_PATH) {
    return PROFILE_CANNOT_OPEN;
  }
  if (section == nullptr || key == nullptr || value == nullptr) return PROFILE_TOO_LONG;
  char header[kProfileLineBuffer];
  if (!zarezodud::formatSectionHeader(section, header)) return PROFILE_TOO_LONG;
  const size_t keyLength = strlen(key);
  const size_t valueLength = strlen(value);
  if (keyLength + valueLength > PROFILE_MAX_KEY_AND_VALUE) return PROFILE_TOO_LONG;
  std::string entry;
  entry.reserve(keyLength + 1 + valueLength);
  entry.append(key, keyLength).append(1, '=').append(value, valueLength);

  // Writers in one directory take turns, so that none of them copies a file that another is
  // about to replace and loses that other's entry.
  zarezodud::DirectoryLock lock(zarezodud::directoryOf(target));
  zarezodud::ReplacementFile temp;
  if (!temp.create(target, kTempPrefix)) return PROFILE_CANNOT_OPEN;

  int rc;
  if (!temp.targetExisted()) {
    rc = zarezodud::writeProfileLine(temp.stream(), header);
    if (rc == PROFILE_SUCCESS) rc = zarezodud::writeProfileLine(temp.stream(), entry);
  } else {
    zarezodud::ProfileFile in(file, "r");
    if (!in.isOpen()) return PROFILE_CANNOT_OPEN;  // temp's destructor removes the temporary file
    rc = rewriteWithEntry(in.get(), temp.stream(), header, key, entry);
  }
  if (rc != PROFILE_SUCCESS) return rc;

  switch (temp.commit()) {
    case zarezodud::ReplacementFile::CommitResult::kDone:
      return PROFILE_SUCCESS;
    case zarezodud::ReplacementFile::CommitResult::kWriteFailed:
      return PROFILE_WRITE_ERROR;
    case zarezodud::ReplacementFile::CommitResult::kRenameFailed:
      break;
  }
  return PROFILE_CANNOT_REPLACE;
}

int WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file) {
  return SetProfileString(section, key, value, file) == PROFILE_SUCCESS ? 1 : 0;
}
