// DBtran: a database transaction that groups table objects. Table objects enrol while they are
// constructed (under DBtable::DBCriticalSection) and leave when destroyed; begin, commit and
// rollback run on the framework's current connection (DBtable::getCurrentConnection()).
//
// Thread-safety: enrolment and leaving are serialised by DBtable::DBCriticalSection; begin,
// commit and rollback belong to the thread that owns the connection.
#ifndef ZAREZODUD_DB_ROWS_DB_TRAN_H
#define ZAREZODUD_DB_ROWS_DB_TRAN_H

#include <string>
#include <vector>

namespace zarezodud {

class DBtable;

class DBtran {
 public:
  DBtran();
  // Rolls back a transaction still open and releases the enrolled tables from it.
  ~DBtran();
  DBtran(const DBtran&) = delete;
  DBtran& operator=(const DBtran&) = delete;

  // Enrols table (not owned; enrolling it again changes nothing). Throws
  // std::invalid_argument for null and std::logic_error once the transaction has ended.
  void addObject(DBtable* table);
  // Forgets table; unknown tables are ignored.
  void removeObject(DBtable* table);
  // The enrolled tables, in enrolment order.
  std::vector<DBtable*> getObjects() const;

  // Start, make lasting, or undo the transaction on the current connection: 0 on success,
  // non-zero with getErrorStr() set otherwise. commit and rollback end the transaction (no
  // table may enrol afterwards).
  int begin();
  int commit();
  int rollback();
  bool isActive() const { return m_active; }
  const std::string& getErrorStr() const { return m_error; }

 private:
  int run(const char* sqlServerText, const char* otherText);

  std::vector<DBtable*> m_objects;
  bool m_active = false;
  bool m_ended = false;
  std::string m_error;
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_DB_TRAN_H
