// DBtable: the base of the generated table classes. A table object describes one table or
// stored procedure (name, column list, schema, serial column, ordering) and its record, and
// runs the statements on it over the framework's process-wide current connection: fetches
// (getOneRow, getNextRow), inserts and updates. Values travel as bound parameters; only the
// caller's where, set and values clauses are text.
//
// The record is what callers read and fill. Fetched columns land in value objects (the row
// object's in the newer binding style, b_newDBBase true; the table's own otherwise) and are
// copied into the record; inserts copy the record into the value objects and bind them.
//
// Status codes: 0 success, 100 no (more) rows, negative values are failures (DBTableStatus);
// getErrorStr explains them.
//
// Thread-safety: a table object is used by one thread at a time, as is the connection it
// uses. The current-connection pointer and b_newDBBase are atomic; enrolment in a transaction
// is serialised by DBCriticalSection.
#ifndef ZAREZODUD_DB_ROWS_DB_TABLE_H
#define ZAREZODUD_DB_ROWS_DB_TABLE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/rows/rkdb_data_type_base.h"
#include "platform/process/fx_critical_section.h"

class RKSimpleDBConnObject;

namespace zarezodud {

class DBtran;
class RecordLayout;
class RKDBRowBase;

enum DBTableStatus : int {
  DBT_OK = 0,
  DBT_NO_DATA = 100,
  DBT_NO_CONNECTION = -1,     // no current connection
  DBT_STATEMENT_FAILED = -2,  // the server or driver refused the statement
  DBT_BIND_FAILED = -3,       // result columns could not be bound
  DBT_FETCH_FAILED = -4,      // a row could not be read
  DBT_BAD_TABLE = -5,         // the table object is not described well enough for the request
  DBT_SERIAL_FAILED = -6,     // the inserted row's serial value could not be read back
};

class DBtable {
 public:
  // name: the table or procedure; flags: reserved (0); tran: may be null. Does not enrol in
  // the transaction (the generated constructor does, under DBCriticalSection).
  DBtable(const char* name, int flags, DBtran* tran);
  // Closes a fetch still open and leaves the transaction.
  virtual ~DBtable();
  DBtable(const DBtable&) = delete;
  DBtable& operator=(const DBtable&) = delete;

  // Description, given by the generated constructor.
  void setHeaderType(int type) { m_headerType = type; }  // 1 table, 2 stored procedure
  void setColumnList(const char* columns);               // "a, b, c"
  void setHeader(const char* header) { m_header = header != nullptr ? header : ""; }
  void setVersion(const char* version) { m_version = version != nullptr ? version : ""; }
  void setSerialName(const char* serial) { m_serial = serial != nullptr ? serial : ""; }
  void setDataPtr(void* record) { m_data = record; }
  void setDataPtr2(void* record) { m_data2 = record; }
  // The default ordering column of fetches; null or "" for none.
  void setOrderBy(const char* column) { m_orderBy = column != nullptr ? column : ""; }
  // The schema text of the columns (see RecordLayout); the record is laid out by it.
  void setStructDef(const char* schema);
  // One 64-bit indicator per column (not owned; must outlive the table object's fetches).
  // In the newer binding style it is handed to the connection for this object's fetches
  // (-1 NULL, else the value's length); otherwise it is kept and unused.
  void setExtIndicatorArray(void* indicators) { m_indicators = indicators; }
  // The row object of the newer binding style (not owned; null in the older style).
  void setRowObject(RKDBRowBase* row) { m_row = row; }
  // The 20-character code field (copied bounded, terminated).
  void setCode(const char* code);

  const std::string& getName() const { return m_name; }
  int getFlags() const { return m_flags; }
  int getHeaderType() const { return m_headerType; }
  const std::string& getColumnList() const { return m_columnList; }
  const std::string& getHeader() const { return m_header; }
  const std::string& getVersion() const { return m_version; }
  const std::string& getSerialName() const { return m_serial; }
  const std::string& getOrderBy() const { return m_orderBy; }
  const std::string& getWhere() const { return m_where; }
  const char* getCode() const { return m_code; }
  void* getIndicatorArray() const { return m_indicators; }
  DBtran* getTransaction() const { return m_tran; }

  // Sets the where clause (printf-style; null clears it) for the following fetches and
  // updates. Starting a new where clause ends a getNextRow sequence still open.
  void setWhere(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Updates the rows the where clause selects with the printf-style set clause. Returns 0
  // (also when no row matched) or a negative status.
  int rowUpdate(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Inserts the record as a new row (every column but the serial one). With readSerial the
  // new row's serial value is written into the record (and row object). 0 or a negative status.
  int rowInsert(bool readSerial);
  // The text of a status code; for the last failure it carries the driver's words.
  std::string getErrorStr(int status) const;

  // Inputs of a stored procedure, newer binding style: the objects are bound in order as the
  // procedure's arguments (not owned; they must outlive the next fetch).
  void ClearBoundInputs();
  void BindInput(RKDBDataTypeBase* value);
  void setHasBoundInputs(bool has) { m_hasBoundInputs = has; }
  bool hasBoundInputs() const { return m_hasBoundInputs; }
  // Older binding style: reserve room for, and append formatted text to, the values clause
  // that is pasted as the procedure's arguments.
  void valuesClauseCheck(unsigned long room);
  void CallDBsprintfWrapper(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void resetValuesClause();
  const std::string& getValuesClause() const { return m_valuesClause; }

  // Fetching, for getOneRow and getNextRow.
  int fetchOneRow();
  int fetchNextRow(int* rowCounter);
  // Ends a fetch sequence still open and detaches the indicator array from the connection.
  void endFetch();

  // Called by DBtran when it goes first.
  void detachTransaction(const DBtran* tran);

  // True selects the newer binding style (row objects) for table objects built afterwards.
  static std::atomic<bool> b_newDBBase;
  // Held while a table object enrols in its transaction.
  static FXCriticalSection DBCriticalSection;

  // The connection table objects use (not owned); returns the previous one. Null: none.
  static RKSimpleDBConnObject* setCurrentConnection(RKSimpleDBConnObject* connection);
  static RKSimpleDBConnObject* getCurrentConnection();
  // Clears the current connection when it is connection; for an owner about to delete it, so
  // that no table object is left pointing at a deleted connection.
  static void forgetConnection(const RKSimpleDBConnObject* connection);

 protected:
  // Zeroes the indicators (the value objects fetched into are made when first needed). For
  // dataBindClearFirstTime.
  void prepareBinding();
  // Ends an open fetch and forgets bound inputs and the values clause. For dataBindClear.
  void releaseBinding();

 private:
  std::vector<RKDBDataTypeBase*> columnValues();
  int fail(int status, const std::string& detail);
  int startFetch(RKSimpleDBConnObject* connection);
  std::string fetchText(RKSimpleDBConnObject* connection) const;
  int readBackSerial(RKSimpleDBConnObject* connection, int dialect, bool returnedByInsert);

  std::string m_name;
  int m_flags;
  DBtran* m_tran;
  int m_headerType = 1;
  std::string m_columnList;
  std::vector<std::string> m_columnNames;
  std::string m_header;
  std::string m_version;
  std::string m_serial;
  std::string m_orderBy;
  std::string m_schema;
  std::unique_ptr<RecordLayout> m_layout;
  void* m_data = nullptr;
  void* m_data2 = nullptr;
  void* m_indicators = nullptr;
  RKDBRowBase* m_row = nullptr;
  char m_code[21] = {};
  std::string m_where;
  std::string m_valuesClause;
  std::vector<RKDBDataTypeBase*> m_boundInputs;
  bool m_hasBoundInputs = false;
  std::vector<std::unique_ptr<RKDBDataTypeBase>> m_ownValues;
  RKSimpleDBConnObject* m_fetchConnection = nullptr;  // set while a getNextRow sequence is open
  bool m_indicatorsHandedOver = false;                // m_fetchConnection fills m_indicators
  int m_lastStatus = DBT_OK;
  std::string m_lastDetail;
};

// Fetches the first row the where clause selects into the table's record. The flag and the
// two integers are accepted for callers' sake and change nothing. Returns 0 when a row was
// loaded, 100 when none matched, a negative status otherwise.
int getOneRow(DBtable* table, bool flag, int count, int options);
// Fetches the next row of the table's statement into its record, running the statement on the
// first call (or the first after the previous sequence ended); adds 1 to *rowCounter (when
// given) per row. Returns 0 per row, 100 after the last (the sequence then ends), a negative
// status on failure (the sequence ends too).
int getNextRow(DBtable* table, int* rowCounter, int count, int options);

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_DB_TABLE_H
