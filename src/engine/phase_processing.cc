// INIFileProcessor::processPhase: runs a phase's pre-command lists, its sub-module phases
// (recursively) and its post-command lists, merges return codes, decides after each failure
// whether to stop, and keeps the position record from which a failed phase resumes.
#include <cstdio>

#include "config/profile_store.h"
#include "base/text_trim.h"
#include "db/return_codes.h"
#include "engine/ini_file_processor.h"
#include "engine/occurrence_counter.h"
#include "engine/phase_chain.h"
#include "engine/run_journal.h"
#include "log/format_message.h"
#include "log/utility_logger.h"
#include "log/zarezodud_logger.h"

using zarezodud::formatMessage;

namespace {

const char kContext[] = "INIFileProcessor::processPhase";

// The position a resume record points at, for messages: each level's phase and stage, and the
// innermost list and script, e.g. "UpgradeDB stage 2 > TableScript stage 1, list [a.lst],
// script [b.sql]".
std::string describeRecordedPosition(const RKZARezodud::ProcessPhase& record, const std::string& phaseName) {
  std::string text;
  const RKZARezodud::ProcessPhase* level = &record;
  std::string name = record.getPhaseName().empty() ? phaseName : record.getPhaseName();
  for (;;) {
    text += name + " stage " + std::to_string(level->getStage());
    const RKZARezodud::ProcessPhase* inner = level->getStage() == 2 ? level->getSubModule() : nullptr;
    if (inner == nullptr) break;
    text += " > ";
    level = inner;
    name = level->getPhaseName();
  }
  if (!level->getCurrentListFile().empty()) text += ", list [" + level->getCurrentListFile() + "]";
  if (!level->getCurrentScript().empty()) text += ", script [" + level->getCurrentScript() + "]";
  return text;
}

}  // namespace

void INIFileProcessor::setRunJournal(RunJournal* journal) {
  m_journal = journal;
  if (journal != nullptr) installScriptReadHook();
}

void INIFileProcessor::installScriptReadHook() {
  if (!m_dbObject) return;
  // The start record is written once the script's bytes are read (with their digest) and
  // before any of it is sent; a start record that cannot be written keeps the script from
  // running.
  m_dbObject->setScriptReadHook(
      [this](const std::string& path, const std::string& sha256, std::string& error) {
        if (!m_scriptStartPending || m_journal == nullptr) return true;
        m_scriptStartPending = false;
        m_scriptSha256 = sha256;
        if (m_journal->scriptStarted(m_position, path, sha256)) return true;
        error = "Cannot write the run journal: " + m_journal->error();
        return false;
      });
}

void INIFileProcessor::requestStop(const std::string& reason) {
  {
    std::lock_guard<std::mutex> lock(m_stopMutex);
    if (!m_stopRequested.load()) m_stopReason = reason;
  }
  m_stopRequested.store(true);
}

std::string INIFileProcessor::stopReason() const {
  std::lock_guard<std::mutex> lock(m_stopMutex);
  return m_stopReason;
}

void INIFileProcessor::clearStop() {
  std::lock_guard<std::mutex> lock(m_stopMutex);
  m_stopReason.clear();
  m_stopLogged = false;
  m_stopRequested.store(false);
}

bool INIFileProcessor::stopBeforeScript(const char* context, const std::string& scriptPath,
                                        int& listReturnCode) {
  if (!m_stopRequested.load()) return false;
  logStop(context,
          formatMessage("Processing stopped before file [%s]: %s", scriptPath.c_str(), stopReason().c_str()));
  listReturnCode = getEffectiveReturnCode(listReturnCode, 2);
  return true;
}

bool INIFileProcessor::stopAfterStep(const std::string& phaseName) {
  if (!m_stopRequested.load()) return false;
  logStop(kContext,
          formatMessage("Processing of Phase [%s] stopped: %s", phaseName.c_str(), stopReason().c_str()));
  return true;
}

void INIFileProcessor::logStop(const char* context, const std::string& message) {
  // Once per stop: the phases above the one that stopped say nothing more.
  if (m_stopLogged) return;
  m_stopLogged = true;
  ZARezodudLogger::LogLine(context, "%s", message.c_str());
  UtilityLogger::LogToFile(context, message, m_params.phaseLogFile());
}

void INIFileProcessor::enterList(const std::string& listFileName, const RKZARezodud::ProcessPhase& record) {
  if (m_position.list != listFileName) {
    // A list run directly by a host, not through processPhase.
    if (m_position.phase.empty()) m_position.phase = record.getPhaseName();
    m_position.list = listFileName;
    m_position.listOccurrence = 1;
  }
  m_position.entry.clear();
  m_position.entryOccurrence = 1;
}

bool INIFileProcessor::passCompletedScript(const char* context, const std::string& list,
                                           const std::string& scriptPath, int& listReturnCode) {
  if (m_journal == nullptr) return false;
  const JournalScript* done = m_journal->completed(m_position);
  if (done == nullptr) return false;
  listReturnCode = getEffectiveReturnCode(listReturnCode, done->code);
  ++m_executedScriptsCount;
  ZARezodudLogger::LogLine(
      4, context, "%s",
      formatMessage("%s finished in an earlier run; it is not run again.", scriptPath.c_str()).c_str());
  if (m_observer) m_observer->onScriptDoneEarlier(m_position.phase, list, scriptPath, done->code);
  return true;
}

void INIFileProcessor::recordScriptEnd(const std::string& scriptPath, const std::string& sha256,
                                       bool succeeded, int code, double seconds) {
  if (m_journal == nullptr) return;
  const JournalScriptResult result = succeeded         ? JournalScriptResult::kSucceeded
                                     : stopRequested() ? JournalScriptResult::kInterrupted
                                                       : JournalScriptResult::kFailed;
  if (!m_journal->scriptFinished(m_position, scriptPath, sha256, result, code, seconds)) {
    requestStop("cannot write the run journal: " + m_journal->error());
  }
}

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
  zarezodud::OccurrenceCounter listOccurrences;
  for (const std::string& list : lists) {
    int listReturnCode = 0;
    m_position.list = list;
    m_position.listOccurrence = listOccurrences.next(list);
    if (record.getResumeFlag() == 1 && record.getCurrentListFile() != list) continue;
    if (record.getResumeFlag() == 1) {
      if (record.getCurrentScript().empty()) record.setResumeFlag(0);
    } else {
      record.setCurrentListFile(list);
    }
    notifyPosition();
    if (m_journal) m_journal->listStarted(m_position);
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
    if (stopAfterStep(phaseName)) {
      success = 0;
      return false;
    }
  }
  return true;
}

unsigned int INIFileProcessor::processPhase(std::string phaseName, int& returnCode,
                                            RKZARezodud::ProcessPhase& record) {
  // The outermost call's record is the one an observer persists.
  const bool outermost = m_rootRecord == nullptr;
  if (outermost) {
    m_rootRecord = &record;
    m_position = ScriptPosition();
    m_position.phase = phaseName;
  }
  struct RootReset {
    INIFileProcessor* self;
    bool active;
    ~RootReset() {
      if (active) self->m_rootRecord = nullptr;
    }
  } rootReset{this, outermost};

  const bool resuming = record.getResumeFlag() == 1;
  // The stage, list and entry of the caller's position are this call's to change; the
  // caller sets them again before it goes on.
  ScriptPosition where = m_position;
  where.stage = 0;
  where.list.clear();
  where.entry.clear();
  m_position = where;
  if (m_journal) m_journal->phaseStarted(where);
  unsigned int result = processPhaseSections(phaseName, returnCode, record);
  if (result && outermost && resuming && record.getResumeFlag() == 1) {
    // The recorded position was never reached, so nothing ran: that is no success.
    const std::string message =
        formatMessage("Resume position [%s] of Phase [%s] was not found; nothing was run.",
                      describeRecordedPosition(record, phaseName).c_str(), phaseName.c_str());
    ZARezodudLogger::LogLine(kContext, "%s", message.c_str());
    UtilityLogger::LogToFile(kContext, message, m_params.phaseLogFile());
    returnCode = 2;
    result = 0;
  }
  if (m_journal) m_journal->phaseEnded(where, result != 0, returnCode);
  m_position = where;
  return result;
}

unsigned int INIFileProcessor::processPhaseSections(const std::string& phaseName, int& returnCode,
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

  zarezodud::PhaseChainGuard guard(*m_phaseChain, phaseName);
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

  const ScriptPosition where = m_position;
  auto enterStage = [this, &where](int stage) {
    m_position = where;
    m_position.stage = stage;
    if (m_journal) m_journal->stageStarted(m_position);
  };

  // Pre-command stage.
  if (stageRuns(1)) {
    if (record.getResumeFlag() == 1) {
      if (record.getCurrentListFile().empty()) record.setResumeFlag(0);
    } else {
      record.setStage(1);
    }
    enterStage(1);
    notifyPosition();
    if (!runCommandLists(phaseName, directory, section.preCommandType, section.preCommandLists,
                         section.preCommandTerminateOnError, section.preCommandCheckReturnValue,
                         section.preCommandQuotedIdentifier, returnCode, success, record)) {
      return 0;
    }
  }

  // Sub-module stage.
  if (stageRuns(2)) {
    enterStage(2);
    zarezodud::OccurrenceCounter subModuleOccurrences;
    for (const std::string& subModule : section.subModulePhases) {
      int listReturnCode = 0;
      m_position = where;
      m_position.stage = 2;
      m_position.subModules.push_back(
          ScriptPosition::SubModule{subModule, subModuleOccurrences.next(subModule)});
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
      if (stopAfterStep(phaseName)) return 0;
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
    enterStage(3);
    notifyPosition();
    if (!runCommandLists(phaseName, directory, section.postCommandType, section.postCommandLists,
                         section.postCommandTerminateOnError, section.postCommandCheckReturnValue,
                         section.postCommandQuotedIdentifier, returnCode, success, record)) {
      return 0;
    }
  }
  return success;
}
