// INIFileProcessor::validatePhase and its helpers: a phase, its sub-modules and every
// environment file, list file and script they name must exist; scripts of the four
// service-pack phases have their modification times recorded; scripts are counted for progress.
#include <cstdio>

#include "config/text_trim.h"
#include "engine/ini_file_processor.h"
#include "engine/list_file_reader.h"
#include "engine/phase_chain.h"
#include "engine/platform_files.h"
#include "log/format_message.h"
#include "log/zarezodud_logger.h"

using zarezodud::formatMessage;

namespace {

const char kValidateContext[] = "INIFileProcessor::validatePhase";
const char kCheckContext[] = "INIFileProcessor::checkFileExists";

void logValidate(const std::string& message) { ZARezodudLogger::LogLine(kValidateContext, "%s", message.c_str()); }
void logCheck(const std::string& message) { ZARezodudLogger::LogLine(kCheckContext, "%s", message.c_str()); }


}  // namespace

std::string INIFileProcessor::phaseDirectory(const PhaseSection& section) const {
  const std::string configFile = m_params.configFile();
  const size_t slash = configFile.rfind('/');
  const std::string configDirectory = slash == std::string::npos ? configFile : configFile.substr(0, slash);
  return configDirectory + "/" + section.directory;
}

INIFileProcessor::TimeMap* INIFileProcessor::timeMapForPhase(const std::string& phaseName) {
  if (phaseName == "UpgradeScript") return &m_upgradeScriptTimes;
  if (phaseName == "TableScript") return &m_tableScriptTimes;
  if (phaseName == "DBFunction") return &m_dbFunctionTimes;
  if (phaseName == "DBStoredProcedure") return &m_dbStoredProcedureTimes;
  return nullptr;
}

unsigned int INIFileProcessor::validatePhase(std::string phaseName) {
  if (m_params.configFile().empty() || m_params.logfile().empty()) {
    std::printf("ConfigFile Name or LogFile Name is missing.\n");
    std::fflush(stdout);
    return 0;
  }
  logValidate(formatMessage("Validating Phase [%s].", phaseName.c_str()));

  zarezodud::PhaseChainGuard guard(m_phaseChain, phaseName);
  if (!guard.entered()) {
    logValidate(guard.cycleMessage());
    return 0;
  }

  setINIFileName(m_params.configFile());
  if (!sectionExists(phaseName)) {
    logValidate(formatMessage("Missing Phase [%s].", phaseName.c_str()));
    return 0;
  }
  PhaseSection section;
  if (!readPhase(phaseName, section)) {
    logValidate(formatMessage("Failed to Read Phase [%s].", phaseName.c_str()));
    return 0;
  }
  const std::string directory = phaseDirectory(section);

  if (!validateCommandPart(phaseName, section.preCommandType, section.preCommandEnvFiles,
                           section.preCommandLists, directory)) {
    return 0;
  }
  for (const std::string& subModule : section.subModulePhases) {
    if (!validatePhase(subModule)) {
      logValidate(formatMessage("Validation of Phase [%s] failed.", subModule.c_str()));
      return 0;
    }
  }
  if (!validateCommandPart(phaseName, section.postCommandType, section.postCommandEnvFiles,
                           section.postCommandLists, directory)) {
    return 0;
  }
  return 1;
}

unsigned int INIFileProcessor::validateCommandPart(const std::string& phaseName, const std::string& commandType,
                                                   const std::vector<std::string>& environmentFiles,
                                                   const std::vector<std::string>& listFiles,
                                                   const std::string& directory) {
  if (!listFiles.empty() && !zarezodud::isKnownCommandType(commandType)) {
    logValidate(formatMessage(
        "Invalid Command Type [%s] for Phase [%s]. Supported Command Types are [%s | %s | %s].",
        commandType.c_str(), phaseName.c_str(), "SQL", "BATCH", "EXE"));
    return 0;
  }
  for (const std::string& environmentFile : environmentFiles) {
    const std::string path = directory + "/" + environmentFile;
    if (!zarezodud::pathExists(path)) {
      logValidate(formatMessage("Environment Config File [%s] does not exist.", path.c_str()));
      return 0;
    }
  }
  for (const std::string& listFile : listFiles) {
    const std::string path = directory + "/" + listFile;
    if (!zarezodud::pathExists(path)) {
      logValidate(formatMessage("List File [%s] does not exist.", path.c_str()));
      return 0;
    }
    if (!checkFileExists(phaseName, commandType, directory, listFile)) {
      logValidate(formatMessage("One or more script files may not exist for list file [%s].", path.c_str()));
      return 0;
    }
  }
  return 1;
}

unsigned int INIFileProcessor::checkFileExists(std::string phaseName, std::string commandType,
                                               std::string phaseDirectory, std::string listFileName) {
  const std::string listPath = phaseDirectory + "/" + listFileName;
  if (!zarezodud::pathExists(listPath)) {
    logCheck(formatMessage("List File [%s] does not exist.", listPath.c_str()));
    return 0;
  }
  zarezodud::ListFileReader reader;
  if (!reader.open(listPath)) {
    logCheck(reader.errorText());
    logCheck(formatMessage("Cannot open list file [%s].", listPath.c_str()));
    return 0;
  }

  const bool isSQL = zarezodud::equalsIgnoreCase(commandType, "SQL");
  const bool isBatch = zarezodud::equalsIgnoreCase(commandType, "BATCH");
  const char* requiredExtension = isSQL ? "SQL" : (isBatch ? "BAT" : nullptr);
  TimeMap* timeMap = timeMapForPhase(phaseName);

  unsigned int result = 1;
  std::string name;
  while (reader.next(name)) {
    const size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? name : name.substr(dot + 1);
    std::string scriptName = name;
    if (requiredExtension != nullptr) {
      if (dot != std::string::npos && extension.empty()) {
        // A name ending in "." stands for the list type's own extension.
        scriptName += requiredExtension;
      } else if (!zarezodud::equalsIgnoreCase(extension, requiredExtension)) {
        logCheck(formatMessage("Invalid filename extension [%s] for file [%s] in list file [%s].",
                               extension.c_str(), name.c_str(), listPath.c_str()));
        result = 0;
      }
    }
    const std::string scriptPath = phaseDirectory + "/" + scriptName;
    const zarezodud::FileFacts facts = zarezodud::fileFacts(scriptPath);
    if (!facts.exists) {
      logCheck(formatMessage("Script File [%s] does not exist.", scriptPath.c_str()));
      result = 0;
    } else if (facts.isDirectory) {
      // A directory would pass for an existing script here and fail only when it is run.
      logCheck(formatMessage("Script File [%s] is a directory.", scriptPath.c_str()));
      result = 0;
    } else {
      int64_t modified = facts.seconds;
      if (!facts.hasTime && !getFileModifiedTime(scriptPath, modified)) {
        logCheck(formatMessage("Couldn't get the modified time of file %s.", scriptPath.c_str()));
        result = 0;
      }
      if (timeMap != nullptr) timeMap->emplace(scriptName, modified);
    }
    if (m_progressFlag) ++m_totalScriptsCount;
  }
  if (reader.failed()) {
    logCheck(reader.errorText());
    logCheck(formatMessage("Failed to check script files for list file [%s].", listPath.c_str()));
    result = 0;
  }
  return result;
}

unsigned int INIFileProcessor::getFileModifiedTime(std::string path, int64_t& modifiedTime) {
  int64_t modified = 0;
  if (!zarezodud::fileModificationTime(path, modified)) {
    ZARezodudLogger::LogLine("INIFileProcessor::getFileModifiedTime", "%s",
                             formatMessage("Couldn't get MAC times of the file %s.", path.c_str()).c_str());
    return 0;
  }
  modifiedTime = modified;
  return 1;
}
