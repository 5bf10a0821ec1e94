// The statement texts of the table framework: fetch, procedure call, insert and update, in the
// dialect of the database the current connection reaches. Values always travel as bound
// parameters ('?'); only the caller's own where, set and values clauses are pasted in.
// Pure functions; thread-safe.
#ifndef ZAREZODUD_DB_ROWS_DB_TABLE_SQL_H
#define ZAREZODUD_DB_ROWS_DB_TABLE_SQL_H

#include <cstdarg>
#include <string>
#include <vector>

namespace zarezodud {

enum class SqlDialect { kSqlServer, kPostgreSql, kSqlite, kOther };

// The dialect for a DBMS name as the driver reports it ("Microsoft SQL Server", "PostgreSQL",
// "SQLite"); kOther for anything else.
SqlDialect sqlDialectOf(const std::string& dbmsName);

// "SELECT <columns> FROM <table>[ WHERE <where>][ ORDER BY <orderBy>]".
std::string buildSelectText(const std::string& table, const std::string& columnList, const std::string& where,
                            const std::string& orderBy);

// Calls a stored procedure with argument text (markers or a values clause, possibly empty):
// SQL Server "EXEC <name> <args>", PostgreSQL "SELECT <columns> FROM <name>(<args>)",
// otherwise the ODBC escape "{CALL <name>(<args>)}".
std::string buildProcedureCallText(SqlDialect dialect, const std::string& name, const std::string& columnList,
                                   const std::string& arguments);

// "?, ?, ..." with count markers.
std::string parameterMarkers(std::size_t count);

// Inserts the given columns (the serial column already left out) with one marker each. With
// serial given, SQL Server returns it through "OUTPUT INSERTED.<serial>" and PostgreSQL
// through "RETURNING <serial>"; other dialects read it back separately.
std::string buildInsertText(SqlDialect dialect, const std::string& table,
                            const std::vector<std::string>& columns, const std::string& serial);

// "UPDATE <table> SET <set>[ WHERE <where>]".
std::string buildUpdateText(const std::string& table, const std::string& setClause, const std::string& where);

// printf-style formatting into a string of any length; "" when the format is null or bad.
std::string formatText(const char* format, va_list args);

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_DB_TABLE_SQL_H
