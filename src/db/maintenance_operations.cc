// DBQueries: the maintenance operations: consistency check, backup, user mappings,
// validation, extended stored procedures, CLR functions, dropping a database, compatibility
// level and restore. Caller scripts are filled by the safe script formatter; the two
// statements built here escape or refuse the values they embed.
#include "base/text_trim.h"
#include "db/db_queries.h"
#include "db/rows/rkdb_data_types.h"
#include "db/script_formatter.h"
#include "db/sql_text_guard.h"
#include "log/format_message.h"
#include "platform/odbc/rk_simple_db_conn_object.h"
#include "platform/fs/zu_path.h"

using zarezodud::formatMessage;
using zarezodud::ScriptArg;

namespace {

const char kQuotedIdentifier[] = "ON";
const int kAbortOn = 1;

}  // namespace

unsigned int DBQueries::checkDBConsistency(std::string scriptPath, std::string dbName) {
  std::string text;
  if (!loadFormattedScript("DBQueries::checkDBConsistency", scriptPath, {ScriptArg::databaseName(dbName)},
                           text))
    return 0;
  return executeSQLQuery(text, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::BackupDatabase(std::string scriptPath, std::string first, std::string second) {
  std::string text;
  if (!loadFormattedScript("DBQueries::BackupDatabase", scriptPath, {first, second}, text)) return 0;
  return executeSQLQuery(text, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::createDBUserMappings(std::string scriptPath, std::string first, std::string second) {
  std::string text;
  if (!loadFormattedScript("DBQueries::createDBUserMappings", scriptPath, {first, second}, text)) return 0;
  return executeSQLQuery(text, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::validateDB(std::string scriptPath, std::string dbName) {
  std::string text;
  if (!loadFormattedScript("DBQueries::validateDB", scriptPath, {ScriptArg::databaseName(dbName)}, text))
    return 0;
  int result = 0;
  if (!executeSQLQueryAndReturnInt(text, result, kAbortOn, kQuotedIdentifier)) return 0;
  if (result != 0) {
    // The object's own database is named, not the argument.
    m_lastError = formatMessage("Failed to validate the database [%s].", m_dbName.c_str());
    return 0;
  }
  return 1;
}

unsigned int DBQueries::addAllExtendedStoredProcsAndCreateCLRFunctions(std::string scriptPath,
                                                                       std::string value) {
  std::string text;
  if (!loadFormattedScript("DBQueries::addAllExtendedStoredProcsAndCreateCLRFunctions", scriptPath, {value},
                           text))
    return 0;
  int ignored = 0;
  return executeSQLQueryAndReturnInt(text, ignored, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::createCLRFunctionsZI2(std::string scriptPath, std::string value) {
  std::string text;
  if (!loadFormattedScript("DBQueries::createCLRFunctionsZI2", scriptPath, {value}, text)) return 0;
  int result = 0;
  if (!executeSQLQueryAndReturnInt(text, result, kAbortOn, kQuotedIdentifier) || result != 0) {
    m_lastError = "Failed to create CLR Functions.";
    return 0;
  }
  return 1;
}

unsigned int DBQueries::DropDatabase(std::string scriptPath, std::string dbName) {
  std::string text;
  if (!loadFormattedScript("DBQueries::DropDatabase", scriptPath, {ScriptArg::databaseName(dbName)}, text))
    return 0;
  // Our own connection would keep the database in use while master drops it.
  if (zarezodud::equalsIgnoreCase(dbName, m_dbName)) closeDBConnection();
  return executeSQLQueryOnMasterDBForZARezodud(text, kAbortOn);
}

unsigned int DBQueries::addExtendedStoredProc(std::string scriptPath, std::string first, std::string second,
                                              std::string third) {
  std::string text;
  if (!loadFormattedScript("DBQueries::addExtendedStoredProc", scriptPath, {first, second, third}, text))
    return 0;
  return executeSQLQueryOnMasterDBForZARezodud(text, kAbortOn);
}

unsigned int DBQueries::setSQLServerCompatibilityLevel(std::string dbName, int level) {
  if (!zarezodud::fitsSqlLiteral(dbName)) {
    m_lastError = "The database name holds a NUL character and cannot be used in a statement.";
    return 0;
  }
  const std::string query =
      "sp_dbcmptlevel '" + zarezodud::escapeSqlLiteral(dbName) + "', " + std::to_string(level);
  return executeSQLQuery(query, kAbortOn, kQuotedIdentifier);
}

unsigned int DBQueries::restoreDB(std::string backupFile, std::string dbName, std::string targetDirectory) {
  if (!zarezodud::isPlainDatabaseName(dbName)) {
    m_lastError = formatMessage(
        "Database name [%s] cannot be restored: only letters, digits and _ @ # $ - (no \"--\") are allowed "
        "in it.",
        dbName.c_str());
    return 0;
  }
  if (!zarezodud::fitsSqlLiteral(backupFile) || !zarezodud::fitsSqlLiteral(targetDirectory)) {
    m_lastError =
        "The backup path or target directory holds a NUL character and cannot be used in a statement.";
    return 0;
  }
  const std::string backup = zarezodud::escapeSqlLiteral(backupFile);
  if (!executeSQLQueryOnMasterDB("RESTORE FILELISTONLY FROM DISK = '" + backup + "'", kAbortOn)) return 0;

  // The logical file names: first column of every row the server lists, in its order.
  std::vector<std::string> files;
  zarezodud::RKDB_string logicalName;
  m_masterConnection->RKDBVar_addCol(&logicalName, -1);
  if (m_masterConnection->RKDBVar_bind() == 0) {
    while (m_masterConnection->getNextRow() == 0) {
      files.push_back(logicalName.isNull() ? std::string() : logicalName.getData());
    }
  }
  m_masterConnection->closeCursor();

  // Bracketed even though the name is plain: names such as 1hub or Core-hub are not regular
  // identifiers and would not parse bare.
  std::string command = "RESTORE DATABASE " + zarezodud::bracketIdentifier(dbName) + " FROM DISK = '" +
                        backup + "' WITH RECOVERY, REPLACE, ";
  for (const std::string& name : files) {
    std::string target = targetDirectory;
    zarezodud::FXPath::Append(target, name, 0);
    command += " MOVE '" + zarezodud::escapeSqlLiteral(name) + "' TO '" +
               zarezodud::escapeSqlLiteral(target) + "', ";
  }
  command.resize(command.size() - 2);
  if (!executeSQLQueryOnMasterDBForZARezodud(command, kAbortOn)) {
    m_lastError = formatMessage("Failed to execute Restore Command [%s].", command.c_str());
    return 0;
  }
  return 1;
}
