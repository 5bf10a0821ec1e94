// DBQueries::populateFuncMap and populateSPMap: the functions and stored procedures that the
// database marks as created after its service-pack step, read by column binding.
#include "db/db_queries.h"
#include "db/rows/rkdb_data_types.h"
#include "db/sql_text_guard.h"
#include "log/format_message.h"
#include "platform/odbc/rk_simple_db_conn_object.h"

namespace {

// The database name stands unquoted in this statement: only a plain name is put in, and it is
// bracketed there (names such as 1hub or Core-hub do not parse bare).
const char kObjectsQuery[] =
    "SELECT V.name FROM sysobjects S, QXDBVersions V WHERE S.name = V.name AND "
    "datediff(second, '01/01/1970', S.crdate) > (SELECT StepNo FROM %s..PatchDBSPInfo) AND S.xType IN('%s')";

}  // namespace

unsigned int DBQueries::populateObjectMap(const std::string& dbName, const char* objectType,
                                          std::map<std::string, int32_t>& names) {
  if (!zarezodud::isPlainDatabaseName(dbName)) {
    m_lastError = zarezodud::formatMessage(
        "Database name [%s] cannot be used in a statement: only letters, digits and _ @ # $ - "
        "(no \"--\") are allowed in it.",
        dbName.c_str());
    return 0;
  }
  if (m_dbConnection == nullptr && !getDBSQLConnection()) return 0;
  m_dbConnection->executeQuery(
      zarezodud::formatMessage(kObjectsQuery, zarezodud::bracketIdentifier(dbName).c_str(), objectType),
      false);
  zarezodud::RKDB_string name;
  m_dbConnection->RKDBVar_addCol(&name, -1);
  if (m_dbConnection->RKDBVar_bind() != 0) {
    m_lastError = m_dbConnection->getLastErrorStr();
    m_dbConnection->closeCursor();
    return 0;
  }
  int fetched;
  while ((fetched = m_dbConnection->getNextRow()) == 0) names.emplace(name.getData(), 0);
  if (fetched != 1) m_lastError = m_dbConnection->getLastErrorStr();
  m_dbConnection->closeCursor();
  return fetched == 1 ? 1 : 0;
}

unsigned int DBQueries::populateFuncMap(std::string dbName, std::map<std::string, int32_t>& functions) {
  return populateObjectMap(dbName, "FN", functions);
}

unsigned int DBQueries::populateSPMap(std::string dbName, std::map<std::string, int32_t>& procedures) {
  return populateObjectMap(dbName, "P", procedures);
}
