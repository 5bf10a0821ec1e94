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

 private:
  std::string m_fileName;
};

#endif
