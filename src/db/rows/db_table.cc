#include "db/rows/db_table.h"

#include <cstdarg>
#include <cstring>
#include <memory>

#include "db/rows/db_table_sql.h"
#include "db/rows/db_tran.h"
#include "db/rows/record_layout.h"
#include "db/rows/record_text.h"
#include "db/rows/rkdb_data_types.h"
#include "db/rows/rkdb_row_base.h"
#include "base/comma_list.h"
#include "platform/odbc/rk_simple_db_conn_object.h"

namespace zarezodud {
namespace {

std::atomic<RKSimpleDBConnObject*> g_currentConnection{nullptr};

std::unique_ptr<RKDBDataTypeBase> valueForKind(RecordLayout::Kind kind) {
  switch (kind) {
    case RecordLayout::Kind::kInt32:
      return std::unique_ptr<RKDBDataTypeBase>(new RKDB_int);
    case RecordLayout::Kind::kInt64:
      return std::unique_ptr<RKDBDataTypeBase>(new RKDB___int64);
    case RecordLayout::Kind::kDateTime:
      return std::unique_ptr<RKDBDataTypeBase>(new RKDB_datetime);
    default:
      return std::unique_ptr<RKDBDataTypeBase>(new RKDB_string);
  }
}

// The value as a bound statement parameter of its own type.
SQLParam toParam(const RKDBDataTypeBase* value) {
  switch (value->getDataType()) {
    case RKDB_TYPE_INT: {
      if (value->isNull()) return SQLParam::nullOf(SQLParam::Type::kInt32);
      const auto* typed = dynamic_cast<const RKDB_int*>(value);
      return SQLParam::ofInt32(typed != nullptr ? typed->getData() : 0);
    }
    case RKDB_TYPE_INT64: {
      if (value->isNull()) return SQLParam::nullOf(SQLParam::Type::kInt64);
      const auto* typed = dynamic_cast<const RKDB___int64*>(value);
      return SQLParam::ofInt64(typed != nullptr ? typed->getData() : 0);
    }
    case RKDB_TYPE_DATETIME: {
      const auto* typed = dynamic_cast<const RKDB_datetime*>(value);
      if (value->isNull() || typed == nullptr) return SQLParam::nullOf(SQLParam::Type::kTimestamp);
      const RKTIMESTAMP_STRUCT& from = typed->getData();
      SQLTimestamp ts;
      ts.year = from.year;
      ts.month = from.month;
      ts.day = from.day;
      ts.hour = from.hour;
      ts.minute = from.minute;
      ts.second = from.second;
      ts.fraction = from.fraction;
      return SQLParam::ofTimestamp(ts);
    }
    default:
      if (value->isNull()) return SQLParam::nullOf(SQLParam::Type::kText);
      return SQLParam::ofText(value->getStr());
  }
}

}  // namespace

std::atomic<bool> DBtable::b_newDBBase{false};
FXCriticalSection DBtable::DBCriticalSection;

RKSimpleDBConnObject* DBtable::setCurrentConnection(RKSimpleDBConnObject* connection) {
  return g_currentConnection.exchange(connection);
}

RKSimpleDBConnObject* DBtable::getCurrentConnection() { return g_currentConnection.load(); }

void DBtable::forgetConnection(const RKSimpleDBConnObject* connection) {
  if (connection == nullptr) return;
  RKSimpleDBConnObject* expected = const_cast<RKSimpleDBConnObject*>(connection);
  g_currentConnection.compare_exchange_strong(expected, nullptr);
}

DBtable::DBtable(const char* name, int flags, DBtran* tran)
    : m_name(name != nullptr ? name : ""), m_flags(flags), m_tran(tran) {}

DBtable::~DBtable() {
  endFetch();
  if (m_tran != nullptr) {
    FXCriticalSectionLock hold(DBCriticalSection);
    m_tran->removeObject(this);
  }
}

void DBtable::setColumnList(const char* columns) {
  m_columnList = columns != nullptr ? columns : "";
  m_columnNames = splitCommaList(m_columnList);
}

void DBtable::setStructDef(const char* schema) {
  m_schema = schema != nullptr ? schema : "";
  m_layout = std::make_unique<RecordLayout>(m_schema);
  m_ownValues.clear();
}

void DBtable::setCode(const char* code) { copyRecordText(m_code, sizeof(m_code), code); }

void DBtable::setWhere(const char* format, ...) {
  endFetch();
  va_list args;
  va_start(args, format);
  m_where = formatText(format, args);
  va_end(args);
}

void DBtable::ClearBoundInputs() { m_boundInputs.clear(); }

void DBtable::BindInput(RKDBDataTypeBase* value) {
  if (value != nullptr) m_boundInputs.push_back(value);
}

void DBtable::resetValuesClause() { m_valuesClause.clear(); }

void DBtable::valuesClauseCheck(unsigned long room) { m_valuesClause.reserve(m_valuesClause.size() + room); }

void DBtable::CallDBsprintfWrapper(const char* format, ...) {
  va_list args;
  va_start(args, format);
  m_valuesClause += formatText(format, args);
  va_end(args);
}

void DBtable::detachTransaction(const DBtran* tran) {
  if (m_tran == tran) m_tran = nullptr;
}

void DBtable::prepareBinding() {
  if (m_indicators != nullptr && m_layout) {
    std::memset(m_indicators, 0, m_layout->fields().size() * sizeof(std::int64_t));
  }
}

void DBtable::releaseBinding() {
  endFetch();
  m_boundInputs.clear();
  m_hasBoundInputs = false;
  m_valuesClause.clear();
}

std::vector<RKDBDataTypeBase*> DBtable::columnValues() {
  if (m_row != nullptr) return m_row->getData();
  if (m_layout && m_ownValues.size() != m_layout->fields().size()) {
    m_ownValues.clear();
    for (const RecordLayout::Field& field : m_layout->fields())
      m_ownValues.push_back(valueForKind(field.kind));
  }
  std::vector<RKDBDataTypeBase*> values;
  for (const auto& value : m_ownValues) values.push_back(value.get());
  return values;
}

int DBtable::fail(int status, const std::string& detail) {
  m_lastStatus = status;
  m_lastDetail = detail;
  return status;
}

std::string DBtable::getErrorStr(int status) const {
  std::string text;
  switch (status) {
    case DBT_OK:
      text = "Success";
      break;
    case DBT_NO_DATA:
      text = "No rows found";
      break;
    case DBT_NO_CONNECTION:
      text = "No current database connection";
      break;
    case DBT_STATEMENT_FAILED:
      text = "The statement failed";
      break;
    case DBT_BIND_FAILED:
      text = "The result columns could not be bound";
      break;
    case DBT_FETCH_FAILED:
      text = "A row could not be fetched";
      break;
    case DBT_BAD_TABLE:
      text = "The table object is not described well enough for the request";
      break;
    case DBT_SERIAL_FAILED:
      text = "The serial value of the inserted row could not be read back";
      break;
    default:
      text = "Unknown status " + std::to_string(status);
      break;
  }
  if (status == m_lastStatus && status != DBT_OK && !m_lastDetail.empty()) text += ": " + m_lastDetail;
  return text;
}

std::string DBtable::fetchText(RKSimpleDBConnObject* connection) const {
  if (m_headerType != 2) return buildSelectText(m_name, m_columnList, m_where, m_orderBy);
  const std::string arguments = m_hasBoundInputs ? parameterMarkers(m_boundInputs.size()) : m_valuesClause;
  return buildProcedureCallText(sqlDialectOf(connection->getDBMSName()), m_name, m_columnList, arguments);
}

int DBtable::startFetch(RKSimpleDBConnObject* connection) {
  if (!m_layout || !m_layout->valid() || m_data == nullptr ||
      m_columnNames.size() != m_layout->fields().size()) {
    return fail(DBT_BAD_TABLE, "table [" + m_name + "] has no usable column list, schema or record");
  }
  std::vector<SQLParam> params;
  if (m_headerType == 2 && m_hasBoundInputs) {
    for (const RKDBDataTypeBase* input : m_boundInputs) params.push_back(toParam(input));
  }
  if (connection->executeWithParams(fetchText(connection), params) != 0) {
    return fail(DBT_STATEMENT_FAILED, connection->getLastErrorStr());
  }
  for (RKDBDataTypeBase* value : columnValues()) connection->RKDBVar_addCol(value, -1);
  if (connection->RKDBVar_bind() != 0) {
    const std::string detail = connection->getLastErrorStr();
    connection->closeCursor();
    return fail(DBT_BIND_FAILED, detail);
  }
  prepareBinding();
  if (b_newDBBase.load() && m_indicators != nullptr) {
    connection->setExtIndicatorArray(m_indicators);
    m_indicatorsHandedOver = true;
  }
  m_fetchConnection = connection;
  return DBT_OK;
}

void DBtable::endFetch() {
  if (m_fetchConnection == nullptr) return;
  m_fetchConnection->closeCursor();
  // The connection outlives this object: it must not keep a pointer into it.
  if (m_indicatorsHandedOver) m_fetchConnection->setExtIndicatorArray(nullptr);
  m_indicatorsHandedOver = false;
  m_fetchConnection = nullptr;
}

int DBtable::fetchNextRow(int* rowCounter) {
  if (m_fetchConnection == nullptr) {
    RKSimpleDBConnObject* connection = getCurrentConnection();
    if (connection == nullptr) return fail(DBT_NO_CONNECTION, "");
    const int started = startFetch(connection);
    if (started != DBT_OK) return started;
  }
  const int result = m_fetchConnection->getNextRow();
  if (result == 0) {
    m_layout->valuesToRecord(columnValues(), m_data);
    if (rowCounter != nullptr) ++*rowCounter;
    return DBT_OK;
  }
  const std::string detail = result == 1 ? std::string() : m_fetchConnection->getLastErrorStr();
  endFetch();
  return result == 1 ? DBT_NO_DATA : fail(DBT_FETCH_FAILED, detail);
}

int DBtable::fetchOneRow() {
  endFetch();
  const int result = fetchNextRow(nullptr);
  endFetch();
  return result;
}

int DBtable::rowUpdate(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string setClause = formatText(format, args);
  va_end(args);
  if (setClause.empty()) return fail(DBT_BAD_TABLE, "an update needs a set clause");
  RKSimpleDBConnObject* connection = getCurrentConnection();
  if (connection == nullptr) return fail(DBT_NO_CONNECTION, "");
  endFetch();
  if (connection->executeWithParams(buildUpdateText(m_name, setClause, m_where), {}) != 0) {
    return fail(DBT_STATEMENT_FAILED, connection->getLastErrorStr());
  }
  connection->closeCursor();
  return DBT_OK;
}

int DBtable::rowInsert(bool readSerial) {
  RKSimpleDBConnObject* connection = getCurrentConnection();
  if (connection == nullptr) return fail(DBT_NO_CONNECTION, "");
  if (m_headerType != 1 || !m_layout || !m_layout->valid() || m_data == nullptr ||
      m_columnNames.size() != m_layout->fields().size()) {
    return fail(DBT_BAD_TABLE, "[" + m_name + "] cannot take an insert");
  }
  endFetch();
  std::size_t serialIndex = m_columnNames.size();
  for (std::size_t i = 0; i < m_columnNames.size(); ++i) {
    if (!m_serial.empty() && m_columnNames[i] == m_serial) serialIndex = i;
  }
  const bool wantSerial = readSerial && serialIndex < m_columnNames.size();
  const SqlDialect dialect = sqlDialectOf(connection->getDBMSName());
  if (wantSerial && dialect == SqlDialect::kOther) {
    return fail(DBT_SERIAL_FAILED,
                "no way known to read back a serial value from [" + connection->getDBMSName() + "]");
  }

  const std::vector<RKDBDataTypeBase*> values = columnValues();
  m_layout->recordToValues(m_data, values);
  std::vector<std::string> columns;
  std::vector<SQLParam> params;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i == serialIndex) continue;
    columns.push_back(m_columnNames[i]);
    params.push_back(toParam(values[i]));
  }
  const bool returnedByInsert =
      wantSerial && (dialect == SqlDialect::kSqlServer || dialect == SqlDialect::kPostgreSql);
  const std::string text =
      buildInsertText(dialect, m_name, columns, returnedByInsert ? m_serial : std::string());
  if (connection->executeWithParams(text, params) != 0) {
    return fail(DBT_STATEMENT_FAILED, connection->getLastErrorStr());
  }
  if (!wantSerial) {
    connection->closeCursor();
    return DBT_OK;
  }
  return readBackSerial(connection, static_cast<int>(dialect), returnedByInsert);
}

int DBtable::readBackSerial(RKSimpleDBConnObject* connection, int dialect, bool returnedByInsert) {
  if (!returnedByInsert) {
    connection->closeCursor();
    if (static_cast<SqlDialect>(dialect) != SqlDialect::kSqlite ||
        connection->executeQuery("SELECT last_insert_rowid()", false) != 0) {
      return fail(DBT_SERIAL_FAILED, connection->getLastErrorStr());
    }
  }
  int serial = 0;
  if (connection->getSingleRowIntResult(serial) != 0)
    return fail(DBT_SERIAL_FAILED, connection->getLastErrorStr());

  std::size_t index = 0;
  while (index < m_columnNames.size() && m_columnNames[index] != m_serial) ++index;
  const RecordLayout::Field& field = m_layout->fields()[index];
  char* at = static_cast<char*>(m_data) + field.offset;
  if (field.kind == RecordLayout::Kind::kInt32) {
    std::memcpy(at, &serial, sizeof serial);
  } else if (field.kind == RecordLayout::Kind::kInt64) {
    const long long wide = serial;
    std::memcpy(at, &wide, sizeof wide);
  }
  const std::vector<RKDBDataTypeBase*> values = columnValues();
  if (auto* typed = dynamic_cast<RKDB_int*>(values[index])) typed->setValue(serial);
  if (auto* typed = dynamic_cast<RKDB___int64*>(values[index])) typed->setValue(serial);
  return DBT_OK;
}

int getOneRow(DBtable* table, bool flag, int count, int options) {
  static_cast<void>(flag);
  static_cast<void>(count);
  static_cast<void>(options);
  if (table == nullptr) return DBT_BAD_TABLE;
  return table->fetchOneRow();
}

int getNextRow(DBtable* table, int* rowCounter, int count, int options) {
  static_cast<void>(count);
  static_cast<void>(options);
  if (table == nullptr) return DBT_BAD_TABLE;
  return table->fetchNextRow(rowCounter);
}

}  // namespace zarezodud
