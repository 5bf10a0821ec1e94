// DBQueries: the single road by which Transact-SQL reaches the server. Each operation composes
// the session-setting preamble in front of the caller's text and hands the whole text, GO lines
// included, to the connection service in one call.
#include <cstring>

#include "db/db_queries.h"
#include "db/return_codes.h"
#include "log/format_message.h"
#include "log/zarezodud_logger.h"
#include "platform/registry/registry_names.h"
#include "platform/fs/regular_file.h"
#include "platform/registry/rk_platform_info.h"
#include "platform/odbc/rk_simple_db_conn_object.h"

using zarezodud::formatMessage;

namespace {

const char kXactAbortPreamble[] = "SET XACT_ABORT ON\nGO\n";

// Lines that composeForProduct puts in front of a script: the XACT_ABORT pair when asked for
// and the QUOTED_IDENTIFIER pair.
int productPreambleLines(int transactionAbort) { return transactionAbort != 0 ? 4 : 2; }
// And those that composeForMaster puts there: the XACT_ABORT pair when asked for.
int masterPreambleLines(int transactionAbort) { return transactionAbort != 0 ? 2 : 0; }

// While a composed text runs, the connection shows people the lines of the caller's text (its
// failure texts, the line beside each recorded server message), not those of the preamble.
class LeadingLinesScope {
 public:
  LeadingLinesScope(RKSimpleDBConnObject& connection, int lines) : m_connection(connection) {
    m_connection.setLeadingLines(lines);
  }
  ~LeadingLinesScope() { m_connection.setLeadingLines(0); }
  LeadingLinesScope(const LeadingLinesScope&) = delete;
  LeadingLinesScope& operator=(const LeadingLinesScope&) = delete;

 private:
  RKSimpleDBConnObject& m_connection;
};

// Holds a DBQueries object's run limit to its script limit while a script file runs.
class ScriptRunLimit {
 public:
  ScriptRunLimit(int& slot, int seconds) : m_slot(slot) { m_slot = seconds; }
  ~ScriptRunLimit() { m_slot = 0; }
  ScriptRunLimit(const ScriptRunLimit&) = delete;
  ScriptRunLimit& operator=(const ScriptRunLimit&) = delete;

 private:
  int& m_slot;
};

// The text handed on stops at its first NUL character, if it holds one.
std::string untilNul(std::string text) {
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

std::string composeForProduct(const std::string& query, int transactionAbort,
                              const std::string& quotedIdentifier) {
  std::string text;
  if (transactionAbort != 0) text += kXactAbortPreamble;
  text += "SET QUOTED_IDENTIFIER " + quotedIdentifier + "\nGO\n";
  text += query;
  return untilNul(std::move(text));
}

std::string composeForMaster(const std::string& query, int transactionAbort) {
  std::string text;
  if (transactionAbort != 0) text += kXactAbortPreamble;
  text += query;
  return untilNul(std::move(text));
}

}  // namespace

bool DBQueries::readScriptFile(const std::string& path, std::string& text) {
  // Only a regular file is read: a FIFO or a link to a device would block or never end.
  std::string error;
  std::string sha256;
  switch (zarezodud::readRegularFile(path, text, m_scriptReadHook ? &sha256 : nullptr, error)) {
    case zarezodud::FileReadResult::kRead:
      // The digest is of the file's bytes exactly as read, before any decoding.
      if (m_scriptReadHook && !m_scriptReadHook(path, sha256, m_lastError)) return false;
      return prepareScriptText(path, text);
    case zarezodud::FileReadResult::kCannotOpen:
      m_lastError = formatMessage("Cannot open file [%s].", path.c_str());
      return false;
    case zarezodud::FileReadResult::kNotRegular:
    case zarezodud::FileReadResult::kReadFailed:
      break;
  }
  m_lastError = formatMessage("Cannot open file [%s]. %s", path.c_str(), error.c_str());
  return false;
}

void DBQueries::setScriptTimeout(int seconds) { m_scriptTimeout = seconds < 0 ? 0 : seconds; }

int DBQueries::getScriptTimeout() {
  if (m_scriptTimeout < 0) {
    unsigned long long value = 0;
    zarezodud::RKPlatformInfo registry(0, 0);
    if (!registry.getNumber(zarezodud::registry_names::kDatabaseKey,
                            zarezodud::registry_names::kScriptTimeoutValue, &value))
      value = 0;
    m_scriptTimeout = value <= 0x7fffffffULL ? static_cast<int32_t>(value) : 0;
  }
  return m_scriptTimeout;
}

unsigned int DBQueries::cancelRunningScript() {
  std::lock_guard<std::mutex> lock(m_connectionMutex);
  return m_dbConnection != nullptr && m_dbConnection->cancel() == 0 ? 1 : 0;
}

void DBQueries::afterFailedScript(const std::string& path, int transactionAbort) {
  if (m_dbConnection == nullptr) return;
  const RKSimpleDBConnObject::Interruption how = m_dbConnection->lastInterruption();
  if (how == RKSimpleDBConnObject::Interruption::kNone) {
    if (!m_dbConnection->isOpen()) closeDBConnection();
    return;
  }
  int line = m_dbConnection->lastInterruptedBatchLine() - productPreambleLines(transactionAbort);
  if (line < 1) line = 1;
  if (how == RKSimpleDBConnObject::Interruption::kTimedOut) {
    m_lastError =
        formatMessage("Script [%s] exceeded the timeout of %d second(s) in the batch starting at line %d.",
                      path.c_str(), m_runTimeout, line);
  } else {
    m_lastError =
        formatMessage("Script [%s] was cancelled in the batch starting at line %d.", path.c_str(), line);
  }
  ZARezodudLogger::LogLine("DBQueries::executeSQLFile", "%s", m_lastError.c_str());
  // A connection that could not be brought back is replaced by the next operation.
  if (!m_dbConnection->isOpen()) closeDBConnection();
}

unsigned int DBQueries::executeSQLQuery(std::string query, int transactionAbort,
                                        std::string quotedIdentifier) {
  if (!ensureDBConnection()) return 0;
  m_dbConnection->setQueryTimeout(m_runTimeout);
  const std::string text = composeForProduct(query, transactionAbort, quotedIdentifier);
  const LeadingLinesScope shown(*m_dbConnection, productPreambleLines(transactionAbort));
  if (m_dbConnection->executeQueryForZARezodud(text, nullptr) == 0) {
    m_lastError = m_dbConnection->getLastErrorStr();
    return 0;
  }
  return 1;
}

unsigned int DBQueries::executeSQLQueryAndReturnInt(std::string query, int& result, int transactionAbort,
                                                    std::string quotedIdentifier) {
  if (!ensureDBConnection()) return 0;
  m_dbConnection->setQueryTimeout(m_runTimeout);
  const std::string text = composeForProduct(query, transactionAbort, quotedIdentifier);
  const LeadingLinesScope shown(*m_dbConnection, productPreambleLines(transactionAbort));
  if (m_dbConnection->executeQueryForZARezodud(text, &result) == 0) {
    m_lastError = m_dbConnection->getLastErrorStr();
    return 0;
  }
  return 1;
}

unsigned int DBQueries::executeSQLQueryAndReturnString(std::string query, std::string& result,
                                                       int transactionAbort, std::string quotedIdentifier) {
  if (!ensureDBConnection()) return 0;
  const std::string text = composeForProduct(query, transactionAbort, quotedIdentifier);
  const LeadingLinesScope shown(*m_dbConnection, productPreambleLines(transactionAbort));
  if (m_dbConnection->executeQuery(text, false) != 0) {
    m_lastError = m_dbConnection->getLastErrorStr();
    return 0;
  }
  std::string value;
  if (m_dbConnection->getSingleRowStringResult(value) != 0) {
    m_lastError = m_dbConnection->getLastErrorStr();
    return 0;
  }
  result = value;
  return 1;
}

unsigned int DBQueries::executeSQLFile(std::string filePath, int& returnCode, int transactionAbort,
                                       int checkReturnValue, std::string quotedIdentifier) {
  returnCode = 0;
  std::string text;
  if (!readScriptFile(filePath, text)) {
    returnCode = 2;
    return 0;
  }
  const ScriptRunLimit limit(m_runTimeout, getScriptTimeout());
  const auto start = std::chrono::system_clock::now();
  const int preambleLines = productPreambleLines(transactionAbort);
  if (checkReturnValue != 0) {
    if (!executeSQLQueryAndReturnInt(text, returnCode, transactionAbort, quotedIdentifier)) {
      afterFailedScript(filePath, transactionAbort);
      returnCode = 2;
      addFailureLocation(m_dbConnection, preambleLines);
      return 0;
    }
    const auto end = std::chrono::system_clock::now();
    if (isWarningCode(returnCode)) {
      m_lastError = formatMessage("Warning occurred while executing File [%s]. ExitCode [%d]",
                                  filePath.c_str(), returnCode);
      return 1;
    }
    if (isErrorCode(returnCode)) {
      m_lastError = formatMessage("Failed to execute File [%s]. ExitCode [%d]", filePath.c_str(), returnCode);
      return 0;
    }
    logScriptExecTime(filePath, start, end);
    return 1;
  }
  if (!executeSQLQuery(text, transactionAbort, quotedIdentifier)) {
    afterFailedScript(filePath, transactionAbort);
    returnCode = 2;
    addFailureLocation(m_dbConnection, preambleLines);
    return 0;
  }
  logScriptExecTime(filePath, start, std::chrono::system_clock::now());
  return 1;
}

unsigned int DBQueries::executeSQLFileAndReturnInt(std::string filePath, int& result, int transactionAbort,
                                                   std::string quotedIdentifier) {
  std::string text;
  if (!readScriptFile(filePath, text)) return 0;
  const ScriptRunLimit limit(m_runTimeout, getScriptTimeout());
  const auto start = std::chrono::system_clock::now();
  if (!executeSQLQueryAndReturnInt(text, result, transactionAbort, quotedIdentifier)) {
    afterFailedScript(filePath, transactionAbort);
    return 0;
  }
  logScriptExecTime(filePath, start, std::chrono::system_clock::now());
  return 1;
}

unsigned int DBQueries::executeSQLFileAndReturnString(std::string filePath, std::string& result,
                                                      int transactionAbort, std::string quotedIdentifier) {
  std::string text;
  if (!readScriptFile(filePath, text)) return 0;
  const auto start = std::chrono::system_clock::now();
  if (!executeSQLQueryAndReturnString(text, result, transactionAbort, quotedIdentifier)) return 0;
  logScriptExecTime(filePath, start, std::chrono::system_clock::now());
  return 1;
}

unsigned int DBQueries::executeSQLQueryOnMasterDB(std::string query, int transactionAbort) {
  if (!ensureMasterConnection()) return 0;
  const LeadingLinesScope shown(*m_masterConnection, masterPreambleLines(transactionAbort));
  if (m_masterConnection->executeQuery(composeForMaster(query, transactionAbort), false) != 0) {
    m_lastError = m_masterConnection->getLastErrorStr();
    return 0;
  }
  return 1;
}

unsigned int DBQueries::executeSQLQueryAndReturnIntOnMasterDB(std::string query, int& result,
                                                              int transactionAbort) {
  if (!ensureMasterConnection()) return 0;
  const LeadingLinesScope shown(*m_masterConnection, masterPreambleLines(transactionAbort));
  if (m_masterConnection->executeQuery(composeForMaster(query, transactionAbort), false) != 0) {
    m_lastError = m_masterConnection->getLastErrorStr();
    return 0;
  }
  if (m_masterConnection->getSingleRowIntResult(result) != 0) {
    m_lastError = m_masterConnection->getLastErrorStr();
    return 0;
  }
  return 1;
}

unsigned int DBQueries::executeSQLQueryOnMasterDBForZARezodud(std::string query, int transactionAbort) {
  if (!ensureMasterConnection()) return 0;
  const LeadingLinesScope shown(*m_masterConnection, masterPreambleLines(transactionAbort));
  if (m_masterConnection->executeQueryForZARezodud(composeForMaster(query, transactionAbort), nullptr) == 0) {
    m_lastError = m_masterConnection->getLastErrorStr();
    return 0;
  }
  return 1;
}

unsigned int DBQueries::executeSQLFileOnMasterDB(std::string filePath, int transactionAbort,
                                                 int checkReturnValue) {
  std::string text;
  if (!readScriptFile(filePath, text)) return 0;
  if (checkReturnValue == 0) return executeSQLQueryOnMasterDB(text, transactionAbort);
  int code = 0;
  if (!executeSQLQueryAndReturnIntOnMasterDB(text, code, transactionAbort)) return 0;
  if (isWarningCode(code)) {
    m_lastError = formatMessage("Script Returned WarningCode [%d].", code);
    return 1;
  }
  if (isErrorCode(code)) {
    m_lastError = formatMessage("Script Returned ErrorCode [%d].", code);
    return 0;
  }
  return 1;
}

unsigned int DBQueries::executeSQLFileAndReturnIntOnMasterDB(std::string filePath, int& result,
                                                             int transactionAbort) {
  std::string text;
  if (!readScriptFile(filePath, text)) return 0;
  return executeSQLQueryAndReturnIntOnMasterDB(text, result, transactionAbort);
}

void DBQueries::logScriptExecTime(std::string scriptName, std::chrono::system_clock::time_point start,
                                  std::chrono::system_clock::time_point end) {
  if (m_scriptTimeThreshold == -1) {
    unsigned long long value = 0;
    zarezodud::RKPlatformInfo registry(0, 0);
    if (!registry.getNumber("Database", "nScriptExecutionThreshold", &value)) {
      ZARezodudLogger::LogLine("DBQueries::logScriptExecTime", "%s",
                               "Could not get the value of nScriptExecutionThreshold from TessalyRegistry. "
                               "Using default.");
    }
    m_scriptTimeThreshold = value >= 1 && value <= 0x7fffffffULL ? static_cast<int32_t>(value) : 2;
  }
  const long long elapsed = std::chrono::duration_cast<std::chrono::seconds>(end - start).count();
  if (elapsed >= m_scriptTimeThreshold) {
    ZARezodudLogger::LogScriptTime(scriptName, static_cast<int>(elapsed));
  }
}
