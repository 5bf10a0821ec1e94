// RKDBGeneratedRow<Derived>: everything a generated row class has in common. The generated
// class only supplies its table's definition (RKDBTableDef: name, kind, columns with their
// schema codes, serial column, primary key, foreign keys); this template builds one value
// object per column for every row, and the class-wide schema of Derived once per process.
//
// Thread-safety: rows may be constructed from any number of threads at once. The class-wide
// members are written only during the one-time set-up, which tests s_isInitialized, takes
// the framework-wide semaphore (lock()), tests again, builds and publishes the flag; after
// that they are only read. pushColumnName and setTableName write them too and are meant for
// that set-up only.
#ifndef ZAREZODUD_DB_ROWS_RKDB_GENERATED_ROW_H
#define ZAREZODUD_DB_ROWS_RKDB_GENERATED_ROW_H

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/rows/rkdb_row_base.h"
#include "db/rows/rkdb_value_factory.h"

namespace zarezodud {

// One column: its name and schema code ("i", "b", "x", "t", "s", "sN", "uN").
struct RKDBColumnDef {
  const char* name;
  std::string code;
};

// One foreign-key column: referenced table, local column, referenced column.
struct RKDBForeignKeyDef {
  const char* table;
  const char* column;
  const char* referencedColumn;
};

// What a generated row class tells about its table.
struct RKDBTableDef {
  const char* name;
  int headerType;           // 1 table, 2 stored procedure
  const char* headerText;   // "Table <name>" or "Procedure <name>"
  const char* versionText;  // null when none
  const char* orderBy;      // default ordering column, null when none
  std::vector<RKDBColumnDef> columns;
  const char* serialColumn;  // null when none
  std::vector<const char*> primaryKey;
  std::vector<RKDBForeignKeyDef> foreignKeys;
  const char* code = nullptr;  // the 20-character code of a procedure object; null when none
};

// The schema text of the columns: each code followed by "|" (before the 'x' -> 'b' rule).
std::string rkdbSchemaText(const std::vector<RKDBColumnDef>& columns);

template <class Derived>
class RKDBGeneratedRow : public RKDBRowBase {
 public:
  RKDBGeneratedRow(const RKDBGeneratedRow&) = delete;
  RKDBGeneratedRow& operator=(const RKDBGeneratedRow&) = delete;
  using RKDBRowBase::operator=;

  int getSerialColNum() override {
    for (std::size_t i = 0; i < m_staticColumnVec.size(); ++i) {
      if (!m_serialColName.empty() && m_staticColumnVec[i] == m_serialColName) return static_cast<int>(i);
    }
    return -1;
  }
  std::string getTableName() override { return m_name; }
  std::string getPrimaryWhere() override { return buildPrimaryWhere(m_primaryKeys); }
  std::vector<RKDBDataTypeBase*> getPrimaryData() override {
    std::vector<RKDBDataTypeBase*> values;
    for (const std::string& key : m_primaryKeys) {
      if (RKDBDataTypeBase* value = getColumn(key)) values.push_back(value);
    }
    return values;
  }
  std::string getStructDef() override { return structSchema; }
  // Called while the class schema is built in the constructor; the row's own version is the
  // one meant there, so the missing dynamic binding is intended.
  // cppcheck-suppress virtualCallInConstructor
  void setTableName(std::string name) override { m_name = std::move(name); }
  std::string getColumnName_t2(const int& i) const override {
    if (i < 0 || static_cast<std::size_t>(i) >= m_staticColumnVec.size()) return std::string();
    return m_staticColumnVec[static_cast<std::size_t>(i)];
  }
  void pushColumnName(const char* name) override {
    m_staticColumnVec.emplace_back(name != nullptr ? name : "");
  }
  int getHeaderType() override { return m_type; }
  // A copy of the foreign keys: referenced table -> (local column -> referenced column).
  virtual RKDBForeignKeyMap getForeignKeyMap() { return m_foreignKeyMap; }

  // A copy of the class-wide column names (empty before the first construction).
  static std::vector<std::string> staticColumnNames() { return m_staticColumnVec; }
  static bool isSchemaInitialized() { return s_isInitialized.load(std::memory_order_acquire); }
  // Forgets the class-wide schema so that the next construction builds it again. For tests
  // only; no row of the class may be under construction meanwhile.
  static void resetSchemaForTesting() {
    s_semColumnVec.wait();
    m_name.clear();
    m_type = 0;
    structSchema.clear();
    m_staticColumnVec.clear();
    m_foreignKeyMap.clear();
    s_isInitialized.store(false, std::memory_order_release);
    s_semColumnVec.release(1);
  }

 protected:
  RKDBGeneratedRow() {
    m_rowFlag = true;
    const RKDBTableDef& def = Derived::definition();
    for (const RKDBColumnDef& column : def.columns) {
      std::unique_ptr<RKDBDataTypeBase> value = rkdbCreateValue(column.code);
      if (!value) throw std::logic_error(std::string("unknown column code for ") + column.name);
      addColumn(column.name, std::move(value));
    }
    if (!s_isInitialized.load(std::memory_order_acquire)) {
      lock();
      struct Unlocker {
        RKDBGeneratedRow* row;
        ~Unlocker() { row->unLock(); }
      } unlocker{this};
      if (!s_isInitialized.load(std::memory_order_relaxed)) buildClassSchema(def);
    }
    for (const char* key : def.primaryKey) m_primaryKeys.push_back(key);
    if (def.headerType == 1 && def.serialColumn != nullptr) m_serialColName = def.serialColumn;
  }

  static std::string m_name;
  static int m_type;
  static std::string structSchema;
  static std::vector<std::string> m_staticColumnVec;
  static RKDBForeignKeyMap m_foreignKeyMap;
  static std::atomic<bool> s_isInitialized;

 private:
  void buildClassSchema(const RKDBTableDef& def) {
    setTableName(def.name);
    m_type = def.headerType;
    structSchema = fillForTime(rkdbSchemaText(def.columns).c_str());
    for (const RKDBForeignKeyDef& key : def.foreignKeys) {
      m_foreignKeyMap[key.table][key.column] = key.referencedColumn;
    }
    for (const RKDBColumnDef& column : def.columns) pushColumnName(column.name);
    s_isInitialized.store(true, std::memory_order_release);
  }
};

template <class Derived>
std::string RKDBGeneratedRow<Derived>::m_name;
template <class Derived>
int RKDBGeneratedRow<Derived>::m_type = 0;
template <class Derived>
std::string RKDBGeneratedRow<Derived>::structSchema;
template <class Derived>
std::vector<std::string> RKDBGeneratedRow<Derived>::m_staticColumnVec;
template <class Derived>
RKDBForeignKeyMap RKDBGeneratedRow<Derived>::m_foreignKeyMap;
template <class Derived>
std::atomic<bool> RKDBGeneratedRow<Derived>::s_isInitialized{false};

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RKDB_GENERATED_ROW_H
