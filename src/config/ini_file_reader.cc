#include "config/ini_file_reader.h"

#include <memory>

#include "config/profile_file.h"
#include "config/profile_line_reader.h"
#include "config/profile_store.h"
#include "config/text_trim.h"

namespace {

// Size of the buffer a value is read into.
constexpr size_t kValueBuffer = 1000;

}  // namespace

void INIFileReader::setINIFileName(const std::string& name) { m_fileName = name; }

std::string INIFileReader::getKeyValue(const std::string& key, const std::string& section) {
  std::unique_ptr<char[]> buffer(new char[kValueBuffer]);
  buffer[0] = '\0';
  if (GetPrivateProfileString(section.c_str(), key.c_str(), nullptr, buffer.get(), kValueBuffer,
                              m_fileName.c_str()) != 1) {
    return std::string();
  }
  return zarezodud::trimCopy(buffer.get());
}

unsigned int INIFileReader::setKeyValue(const std::string& value, const std::string& key,
                                        const std::string& section) {
  return static_cast<unsigned int>(
      WritePrivateProfileString(section.c_str(), key.c_str(), value.c_str(), m_fileName.c_str()));
}

bool INIFileReader::sectionExists(const std::string& section) {
  zarezodud::ProfileFile in(m_fileName.c_str(), "r");
  if (!in.isOpen()) return false;
  char header[zarezodud::kProfileLineBuffer];
  if (!zarezodud::formatSectionHeader(section.c_str(), header)) return false;
  zarezodud::ProfileLineReader reader(in.get());
  return zarezodud::findSectionHeader(reader, header) == PROFILE_SUCCESS;
}
