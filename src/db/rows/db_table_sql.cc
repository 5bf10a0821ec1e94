#include "db/rows/db_table_sql.h"

#include <cstdarg>
#include <cstdio>

namespace zarezodud {

SqlDialect sqlDialectOf(const std::string& dbmsName) {
  if (dbmsName.find("SQL Server") != std::string::npos) return SqlDialect::kSqlServer;
  if (dbmsName.find("PostgreSQL") != std::string::npos) return SqlDialect::kPostgreSql;
  if (dbmsName.find("SQLite") != std::string::npos) return SqlDialect::kSqlite;
  return SqlDialect::kOther;
}

std::string buildSelectText(const std::string& table, const std::string& columnList, const std::string& where,
                            const std::string& orderBy) {
  std::string text = "SELECT " + columnList + " FROM " + table;
  if (!where.empty()) text += " WHERE " + where;
  if (!orderBy.empty()) text += " ORDER BY " + orderBy;
  return text;
}

std::string buildProcedureCallText(SqlDialect dialect, const std::string& name, const std::string& columnList,
                                   const std::string& arguments) {
  switch (dialect) {
    case SqlDialect::kSqlServer:
      return arguments.empty() ? "EXEC " + name : "EXEC " + name + " " + arguments;
    case SqlDialect::kPostgreSql:
      return "SELECT " + columnList + " FROM " + name + "(" + arguments + ")";
    default:
      return "{CALL " + name + "(" + arguments + ")}";
  }
}

std::string parameterMarkers(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += i == 0 ? "?" : ", ?";
  return text;
}

std::string buildInsertText(SqlDialect dialect, const std::string& table,
                            const std::vector<std::string>& columns, const std::string& serial) {
  std::string names;
  for (std::size_t i = 0; i < columns.size(); ++i) names += (i == 0 ? "" : ", ") + columns[i];
  std::string text = "INSERT INTO " + table + " (" + names + ")";
  if (!serial.empty() && dialect == SqlDialect::kSqlServer) text += " OUTPUT INSERTED." + serial;
  text += " VALUES (" + parameterMarkers(columns.size()) + ")";
  if (!serial.empty() && dialect == SqlDialect::kPostgreSql) text += " RETURNING " + serial;
  return text;
}

std::string buildUpdateText(const std::string& table, const std::string& setClause,
                            const std::string& where) {
  std::string text = "UPDATE " + table + " SET " + setClause;
  if (!where.empty()) text += " WHERE " + where;
  return text;
}

std::string formatText(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed <= 0) return std::string();
  std::string text(static_cast<std::size_t>(needed) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<std::size_t>(needed));
  return text;
}

}  // namespace zarezodud
