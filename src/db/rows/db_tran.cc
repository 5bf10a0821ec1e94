#include "db/rows/db_tran.h"

#include <algorithm>
#include <stdexcept>

#include "db/rows/db_table.h"
#include "db/rows/db_table_sql.h"
#include "platform/odbc/rk_simple_db_conn_object.h"

namespace zarezodud {

DBtran::DBtran() = default;

DBtran::~DBtran() {
  if (m_active) rollback();
  FXCriticalSectionLock hold(DBtable::DBCriticalSection);
  for (DBtable* table : m_objects) table->detachTransaction(this);
  m_objects.clear();
}

void DBtran::addObject(DBtable* table) {
  if (table == nullptr) throw std::invalid_argument("A null table object cannot join a transaction.");
  if (m_ended) throw std::logic_error("The transaction has ended; no table object can join it.");
  if (std::find(m_objects.begin(), m_objects.end(), table) == m_objects.end()) m_objects.push_back(table);
}

void DBtran::removeObject(DBtable* table) {
  m_objects.erase(std::remove(m_objects.begin(), m_objects.end(), table), m_objects.end());
}

std::vector<DBtable*> DBtran::getObjects() const { return m_objects; }

int DBtran::begin() {
  if (m_active || m_ended) {
    m_error = m_active ? "The transaction has already begun." : "The transaction has ended.";
    return 1;
  }
  const int result = run("BEGIN TRANSACTION", "BEGIN");
  if (result == 0) m_active = true;
  return result;
}

int DBtran::commit() {
  if (!m_active) {
    m_error = "No transaction is open to commit.";
    return 1;
  }
  const int result = run("COMMIT TRANSACTION", "COMMIT");
  if (result == 0) {
    m_active = false;
    m_ended = true;
  }
  return result;
}

int DBtran::rollback() {
  if (!m_active) {
    m_error = "No transaction is open to roll back.";
    return 1;
  }
  const int result = run("ROLLBACK TRANSACTION", "ROLLBACK");
  // Whatever the server says, this object no longer holds an open transaction.
  m_active = false;
  m_ended = true;
  return result;
}

int DBtran::run(const char* sqlServerText, const char* otherText) {
  RKSimpleDBConnObject* connection = DBtable::getCurrentConnection();
  if (connection == nullptr) {
    m_error = "No current database connection for the transaction.";
    return 1;
  }
  const bool sqlServer = sqlDialectOf(connection->getDBMSName()) == SqlDialect::kSqlServer;
  const char* text = sqlServer ? sqlServerText : otherText;
  if (connection->executeQuery(text, false) != 0) {
    m_error = std::string(text) + " failed: " + connection->getLastErrorStr();
    return 1;
  }
  connection->closeCursor();
  m_error.clear();
  return 0;
}

}  // namespace zarezodud
