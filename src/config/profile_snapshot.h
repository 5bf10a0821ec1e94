// ProfileSnapshot: a profile file read once and indexed, for a caller that makes many lookups
// in one file within one operation (validating a long chain of phases looks up every phase's
// section and keys). Lookups answer exactly as the profile-file store answers them on the file
// as it was read: first occurrence of a section and of a key, keys and headers compared
// ignoring ASCII case, a section ending at the next line that starts with '[', lines over 255
// characters matching no header and giving PROFILE_TOO_LONG for their key. A file holding a
// NUL byte does not load: load() reports the read error and nulLine() names the line.
//
// Thread-safety: load() on one thread; afterwards the const lookups may be shared.
#ifndef ZAREZODUD_CONFIG_PROFILE_SNAPSHOT_H
#define ZAREZODUD_CONFIG_PROFILE_SNAPSHOT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "export.h"

namespace zarezodud {

class ProfileSnapshot {
 public:
  // Reads path. PROFILE_SUCCESS; PROFILE_CANNOT_OPEN when it cannot be opened;
  // PROFILE_READ_ERROR when reading fails or a line holds a NUL byte (nulLine() > 0 then).
  int load(const std::string& path);
  const std::string& path() const { return m_path; }
  // The line (from 1) that held a NUL byte, or 0.
  std::size_t nulLine() const { return m_nulLine; }

  // True when the file has a header for section (what INIFileReader::sectionExists tells).
  bool hasSection(std::string_view section) const;
  // The trimmed value of key in section into value, as INIFileReader::readKeyValue gives it:
  // PROFILE_SUCCESS ("" for a missing section or key), PROFILE_TOO_LONG when the key's line is
  // longer than 255 characters or the section name longer than 252.
  int value(std::string_view section, std::string_view key, std::string& value) const;

 private:
  struct Entry {
    std::string value;
    bool fits = true;
  };
  using Entries = std::unordered_map<std::string, Entry>;

  std::string m_path;
  std::size_t m_nulLine = 0;
  // Header line (lower case, brackets included) -> index of its first section in m_sections.
  std::unordered_map<std::string, std::size_t> m_headers;
  std::vector<Entries> m_sections;
};

// The line (from 1) of the first line of the profile file at path that holds a NUL byte; 0
// when there is none or the file cannot be read.
ZAREZODUD_API std::size_t findNulLine(const std::string& path);

}  // namespace zarezodud

#endif
