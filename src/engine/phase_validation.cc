// INIFileProcessor::validatePhase and its helpers: a phase, its sub-modules and every
// environment file, list file and script they name must exist; scripts of the four
// service-pack phases have their modification times recorded; scripts are counted for progress.
#include <cstdio>
#include <memory>

#include "config/profile_snapshot.h"
#include "config/profile_store.h"
#include "base/text_trim.h"
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

void logValidate(const std::string& message) {
  ZARezodudLogger::LogLine(kValidateContext, "%s", message.c_str());
}
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

  // The outermost call reads the phase configuration file once; every phase of the chain is
  // looked up in that reading, so validation time grows with the number of phases, not with
  // its square.
  const bool outermost = m_phaseChain->empty();
  struct SnapshotScope {
    std::unique_ptr<zarezodud::ProfileSnapshot>& slot;
    bool active;
    ~SnapshotScope() {
      if (active) slot.reset();
    }
  } snapshotScope{m_phaseSnapshot, outermost};
  if (outermost) {
    auto snapshot = std::make_unique<zarezodud::ProfileSnapshot>();
    const int loaded = snapshot->load(m_params.configFile());
    if (loaded == PROFILE_READ_ERROR) {
      logValidate(formatMessage("Validating Phase [%s].", phaseName.c_str()));
      logValidate(phaseFileProblem());
      return 0;
    }
    // A file that cannot be opened is looked up as it is: every phase is then missing.
    if (loaded == PROFILE_SUCCESS) m_phaseSnapshot = std::move(snapshot);
  }

  // Sub-modules are validated depth first, as nested calls would, but with an explicit stack:
  // a chain thousands of phases deep must not exhaust the thread's stack.
  struct Frame {
    std::string phase;
    PhaseSection section;
    std::string directory;
    size_t nextSubModule = 0;
  };
  std::vector<Frame> stack;
  const size_t chainDepthBefore = m_phaseChain->phases().size();
  struct ChainScope {
    zarezodud::PhaseChain& chain;
    size_t depth;
    ~ChainScope() {
      while (chain.phases().size() > depth) chain.pop();
    }
  } chainScope{*m_phaseChain, chainDepthBefore};

  // A phase's own checks up to its sub-modules; on success it is on the stack and the chain.
  auto enter = [&](const std::string& name) -> bool {
    logValidate(formatMessage("Validating Phase [%s].", name.c_str()));
    if (m_phaseChain->contains(name)) {
      logValidate(zarezodud::cycleMessage(*m_phaseChain, name));
      return false;
    }
    const int found = findPhaseSection(name);
    if (found == PROFILE_READ_ERROR) {
      logValidate(phaseFileProblem());
      return false;
    }
    if (found != PROFILE_SUCCESS) {
      logValidate(formatMessage("Missing Phase [%s].", name.c_str()));
      return false;
    }
    Frame frame;
    frame.phase = name;
    if (!readPhase(name, frame.section)) {
      logValidate(formatMessage("Failed to Read Phase [%s].", name.c_str()));
      return false;
    }
    frame.directory = phaseDirectory(frame.section);
    m_phaseChain->push(name);
    stack.push_back(std::move(frame));
    const Frame& entered = stack.back();
    if (validateCommandPart(name, entered.section.preCommandType, entered.section.preCommandEnvFiles,
                            entered.section.preCommandLists, entered.directory)) {
      return true;
    }
    stack.pop_back();
    m_phaseChain->pop();
    return false;
  };
  // Every phase between the one that failed and the outermost reports its sub-module's failure,
  // innermost first, as the nested calls did. failed is a phase that could not be entered, or
  // null when the innermost phase on the stack failed.
  auto fail = [&](const std::string* failed) -> unsigned int {
    std::vector<std::string> chain;
    chain.reserve(stack.size() + 1);
    for (const Frame& frame : stack) chain.push_back(frame.phase);
    if (failed != nullptr) chain.push_back(*failed);
    for (size_t i = chain.size(); i-- > 1;) {
      logValidate(formatMessage("Validation of Phase [%s] failed.", chain[i].c_str()));
    }
    return 0;
  };

  if (!enter(phaseName)) return fail(&phaseName);
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.nextSubModule < top.section.subModulePhases.size()) {
      const std::string subModule = top.section.subModulePhases[top.nextSubModule++];
      if (!enter(subModule)) return fail(&subModule);
      continue;
    }
    if (!validateCommandPart(top.phase, top.section.postCommandType, top.section.postCommandEnvFiles,
                             top.section.postCommandLists, top.directory)) {
      return fail(nullptr);
    }
    stack.pop_back();
    m_phaseChain->pop();
  }
  return 1;
}

unsigned int INIFileProcessor::validateCommandPart(const std::string& phaseName,
                                                   const std::string& commandType,
                                                   const std::vector<std::string>& environmentFiles,
                                                   const std::vector<std::string>& listFiles,
                                                   const std::string& directory) {
  if (!listFiles.empty() && !zarezodud::isKnownCommandType(commandType)) {
    logValidate(
        formatMessage("Invalid Command Type [%s] for Phase [%s]. Supported Command Types are [%s | %s | %s].",
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
    } else if (!facts.isRegular) {
      // A directory would pass for an existing script here and fail only when it is run; a
      // FIFO or a device would make the run wait or read without end.
      logCheck(formatMessage("Script File [%s] is %s, not a regular file.", scriptPath.c_str(), facts.kind));
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
