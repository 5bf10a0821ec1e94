// INIFileProcessor::executeSQLList: runs one list of SQL scripts against the product database,
// script after script: resume skipping, the service-pack selection, progress reports, failure
// logging, per-script results for the "PreUpgrade" stage, and the stop-or-go-on decision.
#include <chrono>

#include "db/return_codes.h"
#include "engine/ini_file_processor.h"
#include "engine/list_file_reader.h"
#include "engine/occurrence_counter.h"
#include "engine/resume_step.h"
#include "engine/run_journal.h"
#include "log/format_message.h"
#include "log/utility_logger.h"
#include "log/zarezodud_logger.h"
#include "maint/progress_and_credentials.h"

using zarezodud::formatMessage;

namespace {

const char kContext[] = "INIFileProcessor::executeSQLList";
// Code merged for a failed script of a non-release service-pack build: a warning.
constexpr int kServicePackFailureCode = 102;

bool isSelectionPhase(const std::string& phase) {
  return phase == "UpgradeScript" || phase == "TableScript" || phase == "DBFunction" ||
         phase == "DBStoredProcedure";
}

// The script's result record: name, code, the messages scanned from the output file, a default
// error entry when none was read, and the description defaulting to the name. When the
// server's messages could not all be recorded (lastError says so), that failure is an error
// entry of its own: what was scanned may be only part of what the server said.
RKZARezodud::Script failedScriptResult(const std::string& baseName, int code, const std::string& outputFile,
                                       const std::string& logFile,
                                       const std::string& lastError = std::string()) {
  static const char kUnrecorded[] = "Script output could not be recorded: ";
  RKZARezodud::Script script;
  script.setName(baseName);
  script.setReturnCode(code);
  UtilityLogger::GetXMLMsgFromFile(outputFile, script);
  const size_t unrecorded = lastError.find(kUnrecorded);
  if (unrecorded != std::string::npos) {
    RKZARezodud::Error error;
    error.setSeverity(2);
    error.setMessage(lastError.substr(unrecorded));
    script.errors().append(error);
  } else if (script.errors().empty()) {
    RKZARezodud::Error error;
    error.setSeverity(2);
    error.setMessage(formatMessage("Failed to execute SQL script, please check the file [%s] for details.",
                                   logFile.c_str()));
    script.errors().append(error);
  }
  if (script.getDescription().empty()) script.setDescription(script.getName());
  return script;
}

}  // namespace

unsigned int INIFileProcessor::executeSQLList(std::string phaseDirectory, std::string listFileName,
                                              int& listReturnCode, int terminateOnError, int checkReturnValue,
                                              std::string quotedIdentifier,
                                              RKZARezodud::ProcessPhase& record) {
  listReturnCode = 0;
  unsigned int result = 1;
  int normalCount = 0;
  int notRunCount = 0;
  const std::string phaseLog = m_params.phaseLogFile();
  auto logBoth = [&](const std::string& message) {
    ZARezodudLogger::LogLine(kContext, "%s", message.c_str());
    UtilityLogger::LogToFile(kContext, message, phaseLog);
  };
  auto logPhaseThenUpgrade = [&](const std::string& message) {
    UtilityLogger::LogToFile(kContext, message, phaseLog);
    ZARezodudLogger::LogLine(kContext, "%s", message.c_str());
  };

  if (!m_params.isUpgradeRepair() &&
      (listFileName == "DropDBStoredProcedures.lst" || listFileName == "DropDBFunctions.lst")) {
    return 1;
  }
  if (!initializeDBObject()) {
    ZARezodudLogger::LogLine(kContext, "%s", "Initializing dbObject failed.");
    listReturnCode = 2;
    return 0;
  }
  if (m_journal) installScriptReadHook();
  const std::string listPath = phaseDirectory + "/" + listFileName;
  ZARezodudLogger::LogLine(kContext, "%s",
                           formatMessage("Processing list file [%s].", listPath.c_str()).c_str());

  zarezodud::ListFileReader reader;
  if (!reader.open(listPath)) {
    logBoth(formatMessage("Cannot open list file [%s].", listPath.c_str()));
    listReturnCode = 2;
    return 0;
  }

  const std::string phaseName = record.getPhaseName();
  const bool selection = !m_params.isUpgradeRepair() && isSelectionPhase(phaseName);
  const bool preUpgradeResults = m_params.PhaseName() == "PreUpgrade";
  char outputFile[4096];
  std::string entry;
  bool stopped = false;
  enterList(listFileName, record);
  zarezodud::OccurrenceCounter entryOccurrences;
  while (!stopped && reader.next(entry)) {
    int code = 0;
    const size_t dot = entry.rfind('.');
    const std::string baseName = dot == std::string::npos ? entry : entry.substr(0, dot);
    const std::string scriptPath = phaseDirectory + "/" + entry;
    m_position.entry = entry;
    m_position.entryOccurrence = entryOccurrences.next(entry);

    if (!zarezodud::takeListEntry(record, entry)) continue;
    notifyPosition();
    if (stopBeforeScript(kContext, scriptPath, listReturnCode)) {
      result = 0;
      stopped = true;
      break;
    }
    if (passCompletedScript(kContext, listFileName, scriptPath, listReturnCode)) continue;

    if (selection) {
      ++normalCount;
      bool mustRun;
      if (phaseName == "UpgradeScript" || phaseName == "TableScript") {
        mustRun = m_commonSQLFileMap.count(entry) > 0;
      } else if (phaseName == "DBFunction") {
        mustRun = m_funcMap.count(baseName) > 0;
      } else {
        mustRun = m_spMap.count(baseName) > 0;
      }
      if (!mustRun) {
        const TimeMap* times = timeMapForPhase(phaseName);
        const auto found = times->find(entry);
        const int64_t modified = found == times->end() ? 0 : found->second;
        if (modified < m_recutTime) {
          ++notRunCount;
          ZARezodudLogger::LogLine(
              kContext, "%s",
              formatMessage("%s is not getting executed as it is not modified for this SP.",
                            scriptPath.c_str())
                  .c_str());
          ++m_executedScriptsCount;
          if (m_observer)
            m_observer->onScriptSkipped(phaseName, listFileName, scriptPath, "not modified for this SP");
          continue;
        }
      }
    }

    ZARezodudLogger::LogLine(kContext, "%s",
                             formatMessage("Executing file [%s].", scriptPath.c_str()).c_str());
    if (m_progressFlag) {
      ++m_executedScriptsCount;
      // Without a counted total there is no percentage to report.
      if (m_executedScriptsCount % 10 == 0 && m_totalScriptsCount > 0) {
        std::string error;
        const int percent = static_cast<int>(static_cast<int64_t>(m_executedScriptsCount) *
                                             m_percentCoverage / m_totalScriptsCount);
        if (setProgress(percent, error) == 0) ZARezodudLogger::LogLine(kContext, "%s", error.c_str());
      }
    }
    // The database object's own output file: the process-wide one unless this processor was
    // given an output directory of its own.
    const std::string ownOutput = m_dbObject->outputFilePath();
    if (ownOutput.size() < sizeof outputFile) {
      ownOutput.copy(outputFile, ownOutput.size());
      outputFile[ownOutput.size()] = '\0';
    } else {
      getTempOutputFile(phaseDirectory.c_str(), outputFile);
    }

    if (m_observer) m_observer->onScriptStart(phaseName, listFileName, scriptPath);
    m_scriptSha256.clear();
    m_scriptStartPending = m_journal != nullptr;
    const auto started = std::chrono::steady_clock::now();
    const unsigned int ran =
        m_dbObject->executeSQLFile(scriptPath, code, 1, checkReturnValue, quotedIdentifier);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    m_scriptStartPending = false;

    if (ran) {
      if (preUpgradeResults && m_params.xmlOutput() > 0) {
        if (isWarningCode(code)) {
          m_upgradePhase.scripts().append(failedScriptResult(baseName, code, outputFile, m_params.logfile()));
        } else if (m_params.xmlOutput() == 2) {
          RKZARezodud::Script script;
          script.setName(baseName);
          script.setReturnCode(0);
          UtilityLogger::GetXMLMsgFromFile(outputFile, script);
          RKZARezodud::Error none;
          none.setSeverity(0);
          script.errors().append(none);
          if (!script.getDescription().empty()) m_upgradePhase.scripts().append(script);
        }
      }
      listReturnCode = getEffectiveReturnCode(listReturnCode, code);
      truncateFile(outputFile);
    } else {
      logPhaseThenUpgrade(m_dbObject->getLastError());
      UtilityLogger::printoutContentsWithoutTS(outputFile, phaseLog);
      if (preUpgradeResults && (m_params.xmlOutput() == 1 || m_params.xmlOutput() == 2)) {
        m_upgradePhase.scripts().append(
            failedScriptResult(baseName, code, outputFile, m_params.logfile(), m_dbObject->getLastError()));
      }
      truncateFile(outputFile);
      logPhaseThenUpgrade(formatMessage("Execution of file [%s] failed", scriptPath.c_str()));
      if (!m_params.isRTMBuild() && m_params.isServicePackUpgrade()) {
        UtilityLogger::LogToFile(kContext, scriptPath, m_params.failedSrcLogFile());
        listReturnCode = getEffectiveReturnCode(listReturnCode, kServicePackFailureCode);
      } else {
        result = 0;
        listReturnCode = getEffectiveReturnCode(listReturnCode, code);
        if (terminateOnError != 0) stopped = true;
      }
    }
    // The script is done for a resume once this record is on disk.
    recordScriptEnd(scriptPath, m_scriptSha256, ran != 0, code, seconds);
    if (m_observer) m_observer->onScriptEnd(phaseName, listFileName, scriptPath, code, ran != 0, seconds);
  }
  if (!stopped && reader.failed()) {
    ZARezodudLogger::LogLine(kContext, "%s", reader.errorText().c_str());
    logBoth(formatMessage("Processing of list file [%s] failed.", listPath.c_str()));
    result = 0;
  }
  ZARezodudLogger::LogLine(4, kContext, "Phase:%s, NormalCount:%d, NotRunCount:%d", phaseName.c_str(),
                           normalCount, notRunCount);
  return result;
}
