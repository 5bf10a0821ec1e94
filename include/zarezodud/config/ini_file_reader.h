// INIFileReader: binds a profile file's path and gives string-valued access to its sections
// and keys through the profile-file store (config/profile_store.h). Nothing is cached: every
// call reads the file.
//
// Thread-safety: an object is used by one thread at a time.
#ifndef ZAREZODUD_CONFIG_INI_FILE_READER_H
#define ZAREZODUD_CONFIG_INI_FILE_READER_H

#include <string>

#include "export.h"

class ZAREZODUD_API INIFileReader {
 public:
  INIFileReader() = default;
  ~INIFileReader() = default;

  // Stores the path of the profile file that later calls read and write.
  void setINIFileName(const std::string& name);
  const std::string& getINIFileName() const { return m_fileName; }

  // The value of key in section (note the order: key first), trimmed of white space;
  // "" when the file, section or key is missing or the value is empty.
  std::string getKeyValue(const std::string& key, const std::string& section);
  // As getKeyValue, but returns the profile store's result code: 0 also for a missing file,
  // section or key (value ""), negative when the key's line could not be read (too long for
  // an entry line, read error).
  int readKeyValue(const std::string& key, const std::string& section, std::string& value);
  // Writes key=value into section (note the order: value first); 1 on success, else 0.
  unsigned int setKeyValue(const std::string& value, const std::string& key, const std::string& section);
  // True when the file can be read and holds a header line for the section.
  bool sectionExists(const std::string& section);
  // What looking for the section's header found: PROFILE_SUCCESS, PROFILE_NO_SECTION,
  // PROFILE_CANNOT_OPEN, PROFILE_TOO_LONG (name over 252 characters) or PROFILE_READ_ERROR
  // (a line before the header could not be read; see readProblem()).
  int findSection(const std::string& section);
  // Why the file could not be read, naming it and the line: "[<file>] holds a NUL byte on
  // line <n>." when a line holds a NUL byte, else "[<file>] could not be read.". For the
  // messages that follow a PROFILE_READ_ERROR.
  std::string readProblem() const;

 private:
  std::string m_fileName;
};

#endif
