#include "config/ini_file_reader.h"

#include <memory>

#include "config/profile_file.h"
#include "config/profile_line_reader.h"
#include "config/profile_snapshot.h"
#include "config/profile_store.h"
#include "base/text_trim.h"

namespace {

// Size of the buffer a value is read into.
constexpr size_t kValueBuffer = 1000;

}  // namespace

void INIFileReader::setINIFileName(const std::string& name) { m_fileName = name; }

std::string INIFileReader::getKeyValue(const std::string& key, const std::string& section) {
  std::string value;
  readKeyValue(key, section, value);
  return value;
}

int INIFileReader::readKeyValue(const std::string& key, const std::string& section, std::string& value) {
  std::unique_ptr<char[]> buffer(new char[kValueBuffer]);
  buffer[0] = '\0';
  value.clear();
  const int rc =
      GetProfileString(section.c_str(), key.c_str(), nullptr, buffer.get(), kValueBuffer, m_fileName.c_str());
  // A file that cannot be opened reads like a missing key, as the wrapper has it.
  if (rc == PROFILE_CANNOT_OPEN) return PROFILE_SUCCESS;
  if (rc != PROFILE_SUCCESS) return rc;
  value = zarezodud::trimCopy(buffer.get());
  return PROFILE_SUCCESS;
}

unsigned int INIFileReader::setKeyValue(const std::string& value, const std::string& key,
                                        const std::string& section) {
  return static_cast<unsigned int>(
      WritePrivateProfileString(section.c_str(), key.c_str(), value.c_str(), m_fileName.c_str()));
}

bool INIFileReader::sectionExists(const std::string& section) {
  return findSection(section) == PROFILE_SUCCESS;
}

int INIFileReader::findSection(const std::string& section) {
  zarezodud::ProfileFile in(m_fileName.c_str(), "r");
  if (!in.isOpen()) return PROFILE_CANNOT_OPEN;
  char header[zarezodud::kProfileLineBuffer];
  if (!zarezodud::formatSectionHeader(section.c_str(), header)) return PROFILE_TOO_LONG;
  zarezodud::ProfileLineReader reader(in.get());
  return zarezodud::findSectionHeader(reader, header);
}

std::string INIFileReader::readProblem() const {
  const std::size_t line = zarezodud::findNulLine(m_fileName);
  if (line == 0) return "[" + m_fileName + "] could not be read.";
  return "[" + m_fileName + "] holds a NUL byte on line " + std::to_string(line) + ".";
}
