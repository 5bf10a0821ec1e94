// INIFileProcessor::executeBatchList and executeExecutableList: walk a list of batch files or
// executables, keep the position record's resume bookkeeping and log every entry as executing.
// On this system nothing is started: every entry counts as done and successful.
#include "engine/ini_file_processor.h"
#include "engine/list_file_reader.h"
#include "engine/occurrence_counter.h"
#include "engine/resume_step.h"
#include "engine/run_journal.h"
#include "log/format_message.h"
#include "log/utility_logger.h"
#include "log/zarezodud_logger.h"

using zarezodud::formatMessage;

unsigned int INIFileProcessor::walkList(const char* context, const std::string& phaseDirectory,
                                        const std::string& listFileName, int& listReturnCode,
                                        RKZARezodud::ProcessPhase& record) {
  listReturnCode = 0;
  const std::string phaseLog = m_params.phaseLogFile();
  const std::string listPath = phaseDirectory + "/" + listFileName;
  ZARezodudLogger::LogLine(context, "%s",
                           formatMessage("Processing list file [%s].", listPath.c_str()).c_str());
  zarezodud::ListFileReader reader;
  if (!reader.open(listPath)) {
    const std::string message = formatMessage("Cannot open list file [%s].", listPath.c_str());
    ZARezodudLogger::LogLine(context, "%s", message.c_str());
    UtilityLogger::LogToFile(context, message, phaseLog);
    listReturnCode = 2;
    return 0;
  }
  std::string entry;
  enterList(listFileName, record);
  zarezodud::OccurrenceCounter entryOccurrences;
  while (reader.next(entry)) {
    m_position.entry = entry;
    m_position.entryOccurrence = entryOccurrences.next(entry);
    if (!zarezodud::takeListEntry(record, entry)) continue;
    notifyPosition();
    const std::string entryPath = phaseDirectory + "/" + entry;
    if (stopBeforeScript(context, entryPath, listReturnCode)) return 0;
    if (passCompletedScript(context, listFileName, entryPath, listReturnCode)) continue;
    if (m_journal && !m_journal->scriptStarted(m_position, entryPath, std::string())) {
      requestStop("cannot write the run journal: " + m_journal->error());
      stopBeforeScript(context, entryPath, listReturnCode);
      return 0;
    }
    ZARezodudLogger::LogLine(context, "%s", formatMessage("Executing file [%s].", entryPath.c_str()).c_str());
    recordScriptEnd(entryPath, std::string(), true, 0, 0.0);
    if (m_observer) m_observer->onEntryListed(record.getPhaseName(), listFileName, entryPath);
  }
  if (reader.failed()) {
    ZARezodudLogger::LogLine(context, "%s", reader.errorText().c_str());
    const std::string message = formatMessage("Processing of list file [%s] failed.", listPath.c_str());
    ZARezodudLogger::LogLine(context, "%s", message.c_str());
    UtilityLogger::LogToFile(context, message, phaseLog);
    return 0;
  }
  return 1;
}

unsigned int INIFileProcessor::executeBatchList(std::string phaseDirectory, std::string listFileName,
                                                int& listReturnCode, int /*terminateOnError*/,
                                                int /*checkReturnValue*/, RKZARezodud::ProcessPhase& record) {
  return walkList("INIFileProcessor::executeBatchList", phaseDirectory, listFileName, listReturnCode, record);
}

unsigned int INIFileProcessor::executeExecutableList(std::string phaseDirectory, std::string listFileName,
                                                     int& listReturnCode, int /*terminateOnError*/,
                                                     int /*checkReturnValue*/,
                                                     RKZARezodud::ProcessPhase& record) {
  return walkList("INIFileProcessor::executeExecutableList", phaseDirectory, listFileName, listReturnCode,
                  record);
}
