#include "db/rows/db_table_sql.h"

#include <gtest/gtest.h>

#include <cstdarg>

namespace zarezodud {
namespace {

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = formatText(fmt, args);
  va_end(args);
  return text;
}

TEST(DbTableSql, DialectsByDbmsName) {
  EXPECT_EQ(sqlDialectOf("Microsoft SQL Server"), SqlDialect::kSqlServer);
  EXPECT_EQ(sqlDialectOf("PostgreSQL"), SqlDialect::kPostgreSql);
  EXPECT_EQ(sqlDialectOf("SQLite"), SqlDialect::kSqlite);
  EXPECT_EQ(sqlDialectOf(""), SqlDialect::kOther);
}

TEST(DbTableSql, SelectAndUpdateTexts) {
  EXPECT_EQ(buildSelectText("T", "a, b", "", ""), "SELECT a, b FROM T");
  EXPECT_EQ(buildSelectText("T", "a, b", "a = 1", "a"), "SELECT a, b FROM T WHERE a = 1 ORDER BY a");
  EXPECT_EQ(buildUpdateText("T", "b = NULL", "a = 1"), "UPDATE T SET b = NULL WHERE a = 1");
  EXPECT_EQ(buildUpdateText("T", "b = 2", ""), "UPDATE T SET b = 2");
}

TEST(DbTableSql, InsertReturnsTheSerialPerDialect) {
  const std::vector<std::string> columns = {"a", "b"};
  EXPECT_EQ(buildInsertText(SqlDialect::kSqlServer, "T", columns, "Id"),
            "INSERT INTO T (a, b) OUTPUT INSERTED.Id VALUES (?, ?)");
  EXPECT_EQ(buildInsertText(SqlDialect::kPostgreSql, "T", columns, "Id"),
            "INSERT INTO T (a, b) VALUES (?, ?) RETURNING Id");
  EXPECT_EQ(buildInsertText(SqlDialect::kSqlite, "T", columns, "Id"), "INSERT INTO T (a, b) VALUES (?, ?)");
  EXPECT_EQ(buildInsertText(SqlDialect::kSqlServer, "T", {"a"}, ""), "INSERT INTO T (a) VALUES (?)");
}

TEST(DbTableSql, ProcedureCalls) {
  EXPECT_EQ(buildProcedureCallText(SqlDialect::kSqlServer, "P", "x, y", "?, ?"), "EXEC P ?, ?");
  EXPECT_EQ(buildProcedureCallText(SqlDialect::kSqlServer, "P", "x, y", ""), "EXEC P");
  EXPECT_EQ(buildProcedureCallText(SqlDialect::kPostgreSql, "P", "x, y", "0,0"), "SELECT x, y FROM P(0,0)");
  EXPECT_EQ(buildProcedureCallText(SqlDialect::kOther, "P", "x", "?"), "{CALL P(?)}");
  EXPECT_EQ(parameterMarkers(0), "");
  EXPECT_EQ(parameterMarkers(3), "?, ?, ?");
}

TEST(DbTableSql, FormatsTextOfAnyLength) {
  EXPECT_EQ(format("ArrayName = '%s'", "a1"), "ArrayName = 'a1'");
  const std::string big(10000, 'z');
  EXPECT_EQ(format("%s|%lu", big.c_str(), 7ul), big + "|7");
  EXPECT_EQ(format(nullptr), "");
}

}  // namespace
}  // namespace zarezodud
