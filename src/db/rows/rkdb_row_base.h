// RKDBRowBase: the base of the generated row classes. A row object owns one value object per
// column of its table (by name in the column map, in column order in the column vector), and
// knows its serial column and primary key; the generated class adds the class-wide schema
// (table name, header type, schema text, column names, foreign keys), built once per process.
//
// Thread-safety: a row object is used by one thread at a time. Construction of row objects is
// safe from any number of threads: the one-time schema set-up runs under lock()/unLock(), the
// framework-wide semaphore s_semColumnVec shared by every row class.
#ifndef ZAREZODUD_DB_ROWS_RKDB_ROW_BASE_H
#define ZAREZODUD_DB_ROWS_RKDB_ROW_BASE_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/rows/rk_semaphore.h"
#include "db/rows/rkdb_data_type_base.h"

namespace zarezodud {

// Referenced table name -> (local column name -> referenced column name).
using RKDBForeignKeyMap = std::map<std::string, std::map<std::string, std::string>>;

class RKDBRowBase {
 public:
  // Empty column map, vectors and serial name; flag false; private semaphore of count 1.
  // Throws std::runtime_error when the semaphore cannot be allocated.
  RKDBRowBase();
  RKDBRowBase(const RKDBRowBase&) = delete;

  // Takes the framework-wide semaphore s_semColumnVec (blocks until it is free).
  virtual void lock();
  // Gives back the framework-wide semaphore.
  virtual void unLock();
  // Deletes every value object of the column vector, then the private semaphore.
  virtual ~RKDBRowBase();
  // The name of column i (getColumnName_t2(i)); empty when i is out of range.
  virtual std::string getColumnName(const int& i);
  // A copy of the column vector; the row keeps ownership of the value objects.
  virtual std::vector<RKDBDataTypeBase*> getData();
  // 0-based position of the serial column among the column names, -1 when it has none.
  virtual int getSerialColNum() = 0;
  virtual std::string getTableName() = 0;
  // "<key> = ?" per primary-key column, joined by "AND "; empty without a key.
  virtual std::string getPrimaryWhere() = 0;
  // The value objects of the primary-key columns, in key order (owned by the row).
  virtual std::vector<RKDBDataTypeBase*> getPrimaryData() = 0;
  // The schema text; empty in the base.
  virtual std::string getStructDef();
  virtual void setTableName(std::string name) = 0;
  // Entry i of the class-wide column names; empty when out of range.
  virtual std::string getColumnName_t2(const int& i) const = 0;
  // Appends a name to the class-wide column names.
  virtual void pushColumnName(const char* name) = 0;
  // 1 table, 2 stored procedure; -1 in the base.
  virtual int getHeaderType();
  // False in the base.
  virtual bool searchForeignKey(std::string name);
  // The base leaves the object unchanged.
  virtual RKDBRowBase& operator=(RKDBRowBase& other);

  // A copy of schema with every 'x' replaced by 'b'; empty for null.
  static std::string fillForTime(const char* schema);
  // The where-clause text for the given primary-key names (see getPrimaryWhere).
  static std::string buildPrimaryWhere(const std::vector<std::string>& keys);

  bool getRowFlag() const { return m_rowFlag; }
  // The serial column name of this row; empty when the table has none.
  const std::string& getSerialColName() const { return m_serialColName; }
  // The primary-key column names of this row, in key order.
  const std::vector<std::string>& getPrimaryKeys() const { return m_primaryKeys; }
  // The value object of the named column (owned by the row), or null.
  RKDBDataTypeBase* getColumn(const std::string& name) const;

  // Shared by every row class: guards the one-time schema set-up.
  static RKSimpleDBSem s_semColumnVec;

 protected:
  // Takes ownership of value and records it under name, at the end of the column order.
  void addColumn(const std::string& name, std::unique_ptr<RKDBDataTypeBase> value);

  bool m_rowFlag = false;
  std::map<std::string, RKDBDataTypeBase*> m_columnMap;
  std::vector<RKDBDataTypeBase*> m_columnVec;
  std::string m_serialColName;
  std::vector<std::string> m_primaryKeys;

 private:
  std::unique_ptr<RKSimpleDBSem> m_sem;
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RKDB_ROW_BASE_H
