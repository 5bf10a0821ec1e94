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

}  // namespace
