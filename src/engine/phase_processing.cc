// INIFileProcessor::processPhase: runs a phase's pre-command lists, its sub-module phases
// (recursively) and its post-command lists, merges return codes, decides after each failure
// whether to stop, and keeps the position record from which a failed phase resumes.
#include <cstdio>

#include "config/profile_store.h"
#include "config/text_trim.h"
#include "db/return_codes.h"
#include "engine/ini_file_processor.h"
#include "engine/phase_chain.h"
#include "log/format_message.h"
#include "log/utility_logger.h"
#include "log/zarezodud_logger.h"

using zarezodud::formatMessage;

namespace {

const char kContext[] = "INIFileProcessor::processPhase";

}  // namespace

void INIFileProcessor::notifyPosition() {
  if (m_observer != nullptr && m_rootRecord != nullptr) m_observer->onPositionChanged(*m_rootRecord);
}

unsigned int INIFileProcessor::processPhase(std::string phaseName, int& returnCode,
                                            RKZARezodud::ProcessPhase* record) {
  if (record == nullptr) {
    RKZARezodud::ProcessPhase fresh;
    return processPhase(phaseName, returnCode, fresh);
  }
  return processPhase(phaseName, returnCode, *record);
}

bool INIFileProcessor::runCommandLists(const std::string& phaseName, const std::string& directory,
                                       const std::string& commandType, const std::vector<std::string>& lists,
                                       int terminateOnError, int checkReturnValue,
                                       const std::string& quotedIdentifier, int& returnCode,
                                       unsigned int& success, RKZARezodud::ProcessPhase& record) {
  const std::string phaseLog = m_params.phaseLogFile();
  if (!lists.empty() && !zarezodud::isKnownCommandType(commandType)) {
    const std::string message =
        formatMessage("Invalid Command Type [%s] for Phase [%s]. Supported Command Types are [%s | %s | %s].",
                      commandType.c_str(), phaseName.c_str(), "SQL", "BATCH", "EXE");
    ZARezodudLogger::LogLine(kContext, "%s", message.c_str());
    UtilityLogger::LogToFile(kContext, message, phaseLog);
    returnCode = 2;
    success = 0;
    return false;
  }
  for (const std::string& list : lists) {
    int listReturnCode = 0;
    if (record.getResumeFlag() == 1 && record.getCurrentListFile() != list) continue;
    if (record.getResumeFlag() == 1) {
      if (record.getCurrentScript().empty()) record.setResumeFlag(0);
    } else {
      record.setCurrentListFile(list);
    }
    notifyPosition();
    unsigned int ran;
    if (zarezodud::equalsIgnoreCase(commandType, "SQL")) {
      ran = executeSQLList(directory, list, listReturnCode, terminateOnError, checkReturnValue,
                           quotedIdentifier, record);
    } else if (zarezodud::equalsIgnoreCase(commandType, "BATCH")) {
      ran = executeBatchList(directory, list, listReturnCode, terminateOnError, checkReturnValue, record);
    } else {
      ran =
          executeExecutableList(directory, list, listReturnCode, terminateOnError, checkReturnValue, record);
    }
    returnCode = getEffectiveReturnCode(returnCode, listReturnCode);
    if (!ran) {
      if (terminateOnError != 0) {
        success = 0;
        return false;
      }
      success = 0;
    }
  }
  return true;
}

unsigned int INIFileProcessor::processPhase(std::string phaseName, int& returnCode,
                                            RKZARezodud::ProcessPhase& record) {
  returnCode = 0;
  if (m_params.configFile().empty() || m_params.logfile().empty()) {
    std::printf("ConfigFile Name or LogFile Name is missing.\n");
    std::fflush(stdout);
    returnCode = 2;
    return 0;
  }
  const std::string phaseLog = m_params.phaseLogFile();
  auto logBoth = [&](const std::string& message) {
    ZARezodudLogger::LogLine(kContext, "%s", message.c_str());
    UtilityLogger::LogToFile(kContext, message, phaseLog);
  };

  ZARezodudLogger::LogLine(kContext, "%s",
                           formatMessage("Processing Phase [%s].", phaseName.c_str()).c_str());
  ZARezodudLogger::LogToScriptTimeLog(
      formatMessage("Database: %s, PhaseName: %s.", m_params.m_DBname, phaseName.c_str()));

  // The outermost call's record is the one an observer persists.
  const bool outermost = m_rootRecord == nullptr;
  if (outermost) m_rootRecord = &record;
  struct RootReset {
    INIFileProcessor* self;
    bool active;
    ~RootReset() {
      if (active) self->m_rootRecord = nullptr;
    }
  } rootReset{this, outermost};

  zarezodud::PhaseChainGuard guard(m_phaseChain, phaseName);
  if (!guard.entered()) {
    logBoth(guard.cycleMessage());
    returnCode = 2;
    return 0;
  }

  const int found = findPhaseSection(phaseName);
  if (found == PROFILE_READ_ERROR) {
    logBoth(phaseFileProblem());
    returnCode = 2;
    return 0;
  }
  if (found != PROFILE_SUCCESS) {
    logBoth(formatMessage("Phase [%s] does not exist.", phaseName.c_str()));
    returnCode = 2;
    return 0;
  }
  PhaseSection section;
  if (!readPhase(phaseName, section)) {
    logBoth(formatMessage("Failed to Read Phase [%s].", phaseName.c_str()));
    returnCode = 2;
    return 0;
  }
  const std::string directory = phaseDirectory(section);
  unsigned int success = 1;
  // A stage runs in a normal call, or in a resumed call whose record stands at that stage.
  auto stageRuns = [&record](int64_t stage) {
    return record.getResumeFlag() == 0 || (record.getResumeFlag() == 1 && record.getStage() == stage);
  };

  // Pre-command stage.
  if (stageRuns(1)) {
    if (record.getResumeFlag() == 1) {
      if (record.getCurrentListFile().empty()) record.setResumeFlag(0);
    } else {
      record.setStage(1);
    }
    notifyPosition();
    if (!runCommandLists(phaseName, directory, section.preCommandType, section.preCommandLists,
                         section.preCommandTerminateOnError, section.preCommandCheckReturnValue,
                         section.preCommandQuotedIdentifier, returnCode, success, record)) {
      return 0;
    }
  }

  // Sub-module stage.
  if (stageRuns(2)) {
    for (const std::string& subModule : section.subModulePhases) {
      int listReturnCode = 0;
      RKZARezodud::ProcessPhase* nested;
      // A sub-module before the interrupted one is run through with a record that points
      // nowhere, so that it skips everything even when it has a list and script of the same
      // names as the interrupted sub-module; the nested position stays for the one it names.
      RKZARezodud::ProcessPhase passThrough;
      if (record.getResumeFlag() == 1) {
        nested = record.getSubModule(true);
        const std::string interrupted = nested->getPhaseName();
        if (!interrupted.empty() && !zarezodud::equalsIgnoreCase(interrupted, subModule)) {
          passThrough.setStage(0);
          nested = &passThrough;
        }
        nested->setResumeFlag(record.getResumeFlag());
      } else {
        record.setStage(2);
        record.setCurrentScript("");
        record.setCurrentListFile("");
        nested = record.getSubModule(true);
        nested->setPhaseName(subModule);
      }
      notifyPosition();
      if (processPhase(subModule, listReturnCode, nested)) {
        returnCode = getEffectiveReturnCode(returnCode, listReturnCode);
        if (record.getResumeFlag() == 1) record.setResumeFlag(nested->getResumeFlag());
      } else {
        logBoth(formatMessage("Failed to process Phase [%s]. ReturnCode [%d]", subModule.c_str(),
                              listReturnCode));
        returnCode = getEffectiveReturnCode(returnCode, listReturnCode);
        success = 0;
        if (listReturnCode != 0 && !isWarningCode(listReturnCode)) return 0;
      }
    }
  }

  // Post-command stage.
  if (stageRuns(3)) {
    if (record.getResumeFlag() == 1) {
      if (record.getCurrentScript().empty()) record.setResumeFlag(0);
    } else {
      record.setStage(3);
      record.setCurrentScript("");
      record.setCurrentListFile("");
      record.dropSubModule();
    }
    notifyPosition();
    if (!runCommandLists(phaseName, directory, section.postCommandType, section.postCommandLists,
                         section.postCommandTerminateOnError, section.postCommandCheckReturnValue,
                         section.postCommandQuotedIdentifier, returnCode, success, record)) {
      return 0;
    }
  }
  return success;
}
