// The state that a service-pack upgrade's script selection needs: the recut time of the media
// (from DVDInfo.txt or DVDInfo.xml), the functions and stored procedures the database marks
// as created after its service-pack step, and the scripts CommonSQLFiles.lst names.
#include <fstream>
#include <sstream>

#include "engine/ini_file_processor.h"
#include "engine/list_file_reader.h"
#include "engine/media_info.h"
#include "log/format_message.h"
#include "log/zarezodud_logger.h"

using zarezodud::formatMessage;

unsigned int INIFileProcessor::getRecutTimeFromDVDInfo(int32_t release, int32_t servicePack) {
  static const char* kContext = "INIFileProcessor::getRecutTimeFromDVDInfo";
  const std::string scriptsDirectory = m_params.databaseScriptsDir();
  const size_t slash = scriptsDirectory.rfind('/');
  const std::string mediaDirectory = slash == std::string::npos ? scriptsDirectory : scriptsDirectory.substr(0, slash);

  zarezodud::MediaMap media;
  if (release == 16 && servicePack <= 16) {
    std::ifstream in(mediaDirectory + "/DVDInfo.txt", std::ios::binary);
    if (!in) {
      ZARezodudLogger::LogLine(kContext, "%s", "Cannot open DVDInfo.txt.");
      return 0;
    }
    std::string line;
    while (std::getline(in, line)) {
      int32_t sp = 0;
      int64_t recut = 0;
      if (zarezodud::parseMediaTextLine(line, sp, recut)) media.emplace(sp, recut);
    }
  } else {
    std::ifstream in(mediaDirectory + "/DVDInfo.xml", std::ios::binary);
    if (!in) {
      ZARezodudLogger::LogLine(kContext, "%s", "Cannot open DVDInfo.xml.");
      return 0;
    }
    std::ostringstream content;
    content << in.rdbuf();
    std::string error;
    if (!zarezodud::parseMediaXml(content.str(), release, media, error)) {
      // A damaged description must not pass for "no service pack found": the recut time stays
      // and the caller hears of the failure.
      ZARezodudLogger::LogLine(kContext, "%s",
                               formatMessage("DVDInfo.xml in [%s] cannot be read: %s", mediaDirectory.c_str(),
                                             error.c_str())
                                   .c_str());
      return 0;
    }
  }
  int64_t recut = 0;
  if (zarezodud::chooseRecutTime(media, servicePack, recut)) m_recutTime = recut;
  ZARezodudLogger::LogLine(kContext, "RecutTime = %ld fetched successfully.", static_cast<long>(m_recutTime));
  return 1;
}

unsigned int INIFileProcessor::populateFuncMapINI(std::string dbName) {
  static const char* kContext = "INIFileProcessor::populateSPFuncMapINI";
  if (!initializeDBObject()) {
    ZARezodudLogger::LogLine(kContext, "%s", "Initialzing dbObject failed.");
    return 0;
  }
  if (!m_dbObject->populateFuncMap(dbName, m_funcMap)) {
    ZARezodudLogger::LogLine(kContext, "%s", "dbObject->populateSPFuncMap failed to populate m_SPFuncMap.");
    return 0;
  }
  return 1;
}

unsigned int INIFileProcessor::populateSPMapINI(std::string dbName) {
  static const char* kContext = "INIFileProcessor::populateSPFuncMapINI";
  if (!initializeDBObject()) {
    ZARezodudLogger::LogLine(kContext, "%s", "Initialzing dbObject failed.");
    return 0;
  }
  if (!m_dbObject->populateSPMap(dbName, m_spMap)) {
    ZARezodudLogger::LogLine(kContext, "%s", "dbObject->populateSPFuncMap failed to populate m_SPFuncMap.");
    return 0;
  }
  return 1;
}

unsigned int INIFileProcessor::populateCommonSQLFilesList() {
  static const char* kContext = "INIFileProcessor::populateCommonSQLFilesList";
  const std::string listPath = m_params.commonScriptsDir() + "/CommonSQLFiles.lst";
  zarezodud::ListFileReader reader;
  if (!reader.open(listPath)) {
    ZARezodudLogger::LogLine(kContext, "%s", formatMessage("Cannot open list file [%s].", listPath.c_str()).c_str());
    return 0;
  }
  std::string name;
  while (reader.next(name)) {
    if (name.find('.') == std::string::npos) name += ".SQL";
    m_commonSQLFileMap.emplace(name, 0);
  }
  if (reader.failed()) {
    ZARezodudLogger::LogLine(kContext, "%s", reader.errorText().c_str());
    ZARezodudLogger::LogLine(
        kContext, "%s", formatMessage("Failed to check script files for list file [%s].", listPath.c_str()).c_str());
    return 0;
  }
  return 1;
}
