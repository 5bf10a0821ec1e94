// RKDBGeneratedTable<Record, Row, Columns>: the table object of a generated table or stored
// procedure, written once for all of them. The table's definition (RKDBTableDef, made from
// its one column description, see rkdb_table_columns.h) says everything the framework is
// told: header type and text, version, serial column, ordering, column list and schema, and a
// procedure's code. The object owns its record, its row object in the newer binding style
// (DBtable::b_newDBBase true when constructed; none otherwise, and never when Row is void)
// and one 64-bit indicator per column.
//
// Thread-safety: a table object is used by one thread at a time; construction enrols it in
// its transaction under DBtable::DBCriticalSection.
#ifndef ZAREZODUD_DB_ROWS_RKDB_GENERATED_TABLE_H
#define ZAREZODUD_DB_ROWS_RKDB_GENERATED_TABLE_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "db/rows/db_table.h"
#include "db/rows/rkdb_generated_row.h"

namespace zarezodud {

// Describes table to the framework as definition says, with record as its data.
void rkdbDescribeTable(DBtable& table, const RKDBTableDef& definition, void* record);
// Enrols table in tran (when not null) under DBtable::DBCriticalSection; a failure is logged
// to the framework's error log at file and line ("<name> Constructor [0x...], caught an
// exception") and construction goes on.
void rkdbEnrolTable(DBtable& table, DBtran* tran, const char* file, int line);

template <class Record, class Row, std::size_t Columns>
class RKDBGeneratedTable : public DBtable {
 public:
  static constexpr int kColumnCount = static_cast<int>(Columns);
  using RowObject = std::conditional_t<std::is_void<Row>::value, RKDBRowBase, Row>;

  // Tables end an open fetch first; all release their row object.
  ~RKDBGeneratedTable() override {
    if (m_isTable) dataBindClear();
    setRowObject(nullptr);
    delete m_rowObject;
  }

  // The record (owned by this object).
  Record* getDataPtr() { return &m_record; }
  // The row object (owned by this object), null in the older binding style.
  RowObject* getRowObject() { return m_rowObject; }

  // Ends an open fetch and forgets bound inputs.
  void dataBindClear() { releaseBinding(); }
  // Resets the binding state before first use.
  void dataBindClearFirstTime() { prepareBinding(); }

 protected:
  // Describes the table to the framework and, when tran is not null, enrols in it (see
  // rkdbEnrolTable; file and line name the derived class's constructor).
  RKDBGeneratedTable(DBtran* tran, const RKDBTableDef& definition, const char* file, int line)
      : DBtable(definition.name, 0, tran), m_isTable(definition.headerType == 1) {
    rkdbDescribeTable(*this, definition, &m_record);
    dataBindClearFirstTime();
    setExtIndicatorArray(m_indicators);
    if constexpr (!std::is_void<Row>::value) {
      if (DBtable::b_newDBBase.load()) m_rowObject = new Row;
      setRowObject(m_rowObject);
    }
    if (definition.code != nullptr) setCode(definition.code);
    rkdbEnrolTable(*this, tran, file, line);
  }

 private:
  bool m_isTable;
  Record m_record;
  RowObject* m_rowObject = nullptr;
  std::int64_t m_indicators[Columns] = {};
};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RKDB_GENERATED_TABLE_H
