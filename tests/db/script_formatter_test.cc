// The safe script formatter and the guards for values pasted into built statements.
#include "db/script_formatter.h"

#include <gtest/gtest.h>

#include "db/sql_text_guard.h"

namespace {

using zarezodud::formatScript;
using zarezodud::ScriptArg;

std::string fill(const std::string& script, const std::vector<ScriptArg>& args) {
  std::string out = "stale";
  EXPECT_TRUE(formatScript(script, args, out)) << script;
  return out;
}

TEST(ScriptFormatterTest, FillsTheKnownConversionsInOrder) {
  EXPECT_EQ(fill("BACKUP DATABASE [%s] TO DISK = '%s'", {"Corehub", "/b/c.bak"}),
            "BACKUP DATABASE [Corehub] TO DISK = '/b/c.bak'");
  EXPECT_EQ(fill("%d|%ld|%lu", {-7, -7L, 7UL}), "-7|-7|7");
  // "%lu" shows a negative value as printf would: converted to unsigned long.
  EXPECT_EQ(fill("%lu", {-1}), std::to_string(static_cast<unsigned long>(-1L)));
  EXPECT_EQ(fill("WHERE name LIKE 'a%%' AND v = %d%%", {5}), "WHERE name LIKE 'a%' AND v = 5%");
  // Text values are put in verbatim, their own percent signs included.
  EXPECT_EQ(fill("'%s'", {"100%d %n"}), "'100%d %n'");
  EXPECT_EQ(fill("no placeholders", {}), "no placeholders");
  EXPECT_EQ(fill("", {"unused"}), "");
}

TEST(ScriptFormatterTest, FewerPlaceholdersThanArgumentsIsFine) {
  EXPECT_EQ(fill("EXEC sp_addextendedproc '%s'", {"xp_one", "dll", "extra"}),
            "EXEC sp_addextendedproc 'xp_one'");
}

TEST(ScriptFormatterTest, RefusesAnythingThatPrintfWouldMisread) {
  const std::vector<ScriptArg> args = {"a", "b", "c"};
  for (const char* script : {"SELECT %n", "SELECT %x", "SELECT %p", "%5s", "%-s", "%.3s", "%lld", "%l", "%ls",
                             "%i", "%c", "%f", "trailing %", "%s %s %s %s", "%1$s"}) {
    std::string out = "stale";
    EXPECT_FALSE(formatScript(script, args, out)) << script;
    EXPECT_EQ(out, "") << script;
  }
}

TEST(ScriptFormatterTest, RefusesAnArgumentOfTheOtherKind) {
  std::string out;
  EXPECT_FALSE(formatScript("%d", {"text"}, out));
  EXPECT_FALSE(formatScript("%s", {5}, out));
  EXPECT_FALSE(formatScript("%ld", {"text"}, out));
}

TEST(SqlTextGuardTest, QuotesAreDoubledForLiterals) {
  EXPECT_EQ(zarezodud::escapeSqlLiteral("plain"), "plain");
  EXPECT_EQ(zarezodud::escapeSqlLiteral("it's"), "it''s");
  EXPECT_EQ(zarezodud::escapeSqlLiteral("''"), "''''");
  EXPECT_TRUE(zarezodud::fitsSqlLiteral("/data/x.bak"));
  EXPECT_FALSE(zarezodud::fitsSqlLiteral(std::string("a\0b", 3)));
}

TEST(SqlTextGuardTest, PlainDatabaseNames) {
  for (const char* name : {"Corehub", "ZI2", "db_1", "a@b#c$d-e"}) {
    EXPECT_TRUE(zarezodud::isPlainDatabaseName(name)) << name;
  }
  for (const std::string& name : {std::string(""), std::string("a b"), std::string("x;DROP DATABASE y"),
                                  std::string("[x]"), std::string("a--"), std::string("a'b"),
                                  std::string("a\nb"), std::string("a\0b", 3), std::string("caf\xc3\xa9")}) {
    EXPECT_FALSE(zarezodud::isPlainDatabaseName(name)) << name;
  }
}

// The refusal of value in script (which must fail), or "" when it was accepted.
std::string refusal(const std::string& script, const ScriptArg& value) {
  std::string out = "stale";
  zarezodud::ScriptFillProblem problem;
  if (formatScript(script, {value}, out, &problem)) return "";
  EXPECT_EQ(out, "");
  EXPECT_EQ(problem.argument, 0u) << script;
  return problem.reason.empty() ? "?" : problem.reason;
}

TEST(ScriptFormatterTest, ValuesAreQuotedForThePlaceTheyStandIn) {
  // In a literal quotes are doubled; in brackets ']'; in double quotes '"'. What would close
  // the place early stays inside it.
  EXPECT_EQ(fill("SELECT '%s'", {"it's'; DROP TABLE t--"}), "SELECT 'it''s''; DROP TABLE t--'");
  EXPECT_EQ(fill("SELECT N'a%sb'", {"'"}), "SELECT N'a''b'");
  EXPECT_EQ(fill("DROP TABLE IF EXISTS [%s]", {"x]; DROP TABLE t--"}),
            "DROP TABLE IF EXISTS [x]]; DROP TABLE t--]");
  EXPECT_EQ(fill("SELECT \"%s\"", {"a\"b"}), "SELECT \"a\"\"b\"");
  // Line breaks and semicolons are harmless inside a literal.
  EXPECT_EQ(fill("PRINT '%s'", {"a;\nGO\nb"}), "PRINT 'a;\nGO\nb'");
  // The place is followed through doubled quotes, brackets, comments and earlier values.
  EXPECT_EQ(fill("SELECT 'x''%s'", {"'"}), "SELECT 'x'''''");
  EXPECT_EQ(fill("SELECT [a]]%s]", {"]"}), "SELECT [a]]]]]");
  EXPECT_EQ(fill("SELECT '%s', '%s'", {"'", "'"}), "SELECT '''', ''''");
  EXPECT_EQ(fill("/* ' */ SELECT '%s'", {"'"}), "/* ' */ SELECT ''''");
  EXPECT_EQ(fill("/* /* ' */ ' */ SELECT '%s'", {"'"}), "/* /* ' */ ' */ SELECT ''''");
  EXPECT_EQ(fill("-- it's\nSELECT '%s'", {"'"}), "-- it's\nSELECT ''''");
}

TEST(ScriptFormatterTest, ValuesOutsideQuotesMustBePlainTokens) {
  EXPECT_EQ(fill("EXEC p %s", {"Corehub.dbo.x-1"}), "EXEC p Corehub.dbo.x-1");
  for (const std::string& script : {std::string("SELECT %s"), std::string("SELECT 1 -- %s"),
                                    std::string("/* %s */ SELECT 1"), std::string("SELECT 'a' + %s")}) {
    for (const char* value : {"a'b", "a]b", "a;b", "a\nb", "a--b", "a b", "a/*b", "a\"b", "a)b"}) {
      EXPECT_NE(refusal(script, value), "") << script << " with " << value;
    }
  }
  // After a literal or bracket closes, the next placeholder is outside again.
  EXPECT_NE(refusal("SELECT 'a', %s", "x;y"), "");
  EXPECT_NE(refusal("SELECT [a], %s", "x;y"), "");
}

TEST(ScriptFormatterTest, DatabaseNamesAreCheckedWhereverTheyStand) {
  EXPECT_EQ(fill("DBCC CHECKDB('%s')", {ScriptArg::databaseName("Core-hub_1")}),
            "DBCC CHECKDB('Core-hub_1')");
  for (const std::string& script : {std::string("'%s'"), std::string("[%s]"), std::string("%s")}) {
    for (const char* name : {"nothing]; CREATE TABLE t (x int)--", "a'b", "a b", "a--b", ""}) {
      EXPECT_NE(refusal(script, ScriptArg::databaseName(name)), "") << script << " with " << name;
    }
  }
}

TEST(ScriptFormatterTest, NulIsRefusedEverywhereAndLibraryValuesPassUnchanged) {
  EXPECT_NE(refusal("'%s'", std::string("a\0b", 3)), "");
  EXPECT_NE(refusal("[%s]", std::string("a\0b", 3)), "");
  EXPECT_EQ(fill("UPDATE v SET x = %s", {ScriptArg::fixed("0(BUILD80)")}), "UPDATE v SET x = 0(BUILD80)");
}

TEST(ScriptFormatterTest, ProblemNamesTheArgumentAndLine) {
  std::string out;
  zarezodud::ScriptFillProblem problem;
  ASSERT_FALSE(formatScript("SELECT '%s'\nGO\nSELECT %s", {"fine", "bad;one"}, out, &problem));
  EXPECT_EQ(problem.argument, 1u);
  EXPECT_EQ(problem.line, 3u);
  EXPECT_EQ(problem.reason.find("bad;one"), std::string::npos) << "the value is never shown";
  ASSERT_FALSE(formatScript("SELECT %x", {"a"}, out, &problem));
  EXPECT_EQ(problem.argument, zarezodud::ScriptFillProblem::npos);
}

TEST(SqlTextGuardTest, BracketedIdentifiersDoubleTheirCloser) {
  EXPECT_EQ(zarezodud::bracketIdentifier("1hub"), "[1hub]");
  EXPECT_EQ(zarezodud::bracketIdentifier("a]b"), "[a]]b]");
}

}  // namespace
