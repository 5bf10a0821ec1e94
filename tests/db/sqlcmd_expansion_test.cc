// The sqlcmd variable mode: variables, :setvar, :r with line origins, and every refusal naming
// the file and line where the problem stands. Files come from an in-memory loader.
#include "db/sqlcmd_expansion.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "db/script_settings.h"

namespace zarezodud {
namespace {

class SqlcmdExpansionTest : public ::testing::Test {
 protected:
  bool expand(const std::string& text) {
    const ScriptLoader load = [this](const std::string& path, std::string& content, std::string& error) {
      ++loads_;
      const auto found = files_.find(path);
      if (found == files_.end()) {
        error = "Cannot open file [" + path + "]. No such file or directory";
        return false;
      }
      content = found->second;
      return true;
    };
    return expandSqlcmdScript("/s/main.sql", text, settings_, load, out_, error_);
  }
  std::string where() const { return error_.file + ":" + std::to_string(error_.line) + " " + error_.what; }

  ScriptSettings settings_{"", true, {}};
  std::map<std::string, std::string> files_;
  ScriptText out_;
  ExpansionError error_;
  int loads_ = 0;
};

TEST_F(SqlcmdExpansionTest, VariablesAreReplacedEverywhereOnALineAndIgnoreCase) {
  settings_.variables = {{"db", "Corehub"}, {"Owner", "dbo"}, {"DB", "Main"}};
  ASSERT_TRUE(expand("USE [$(db)]\nSELECT '$(OWNER).x', \"$(owner)\" -- $(Db)\n/* $(db) */")) << where();
  EXPECT_EQ(out_.text, "USE [Main]\nSELECT 'dbo.x', \"dbo\" -- Main\n/* Main */");
  EXPECT_EQ(out_.origins.size(), 3u);
  // A value is not read again for references.
  settings_.variables = {{"a", "$(b)"}};
  ASSERT_TRUE(expand("SELECT '$(a)'")) << where();
  EXPECT_EQ(out_.text, "SELECT '$(b)'");
}

TEST_F(SqlcmdExpansionTest, SetvarDefinesOverridesAndRemovesAndItsLineStaysEmpty) {
  settings_.variables = {{"v", "given"}};
  ASSERT_TRUE(expand(
      "SELECT '$(v)'\n:setvar v \"a \"\"b\"\" c\"\nSELECT '$(v)'\n  :SETVAR w \"$(v)!\"\nSELECT '$(w)'\n"))
      << where();
  EXPECT_EQ(out_.text, "SELECT 'given'\n\nSELECT 'a \"b\" c'\n\nSELECT 'a \"b\" c!'\n");
  // Removing a variable removes the definition given from outside too.
  ASSERT_FALSE(expand(":setvar v\nSELECT '$(v)'\n"));
  EXPECT_EQ(error_.line, 2);
}

TEST_F(SqlcmdExpansionTest, UndefinedAndMalformedReferencesFailWithTheirLine) {
  ASSERT_FALSE(expand("SELECT 1\n\nSELECT '$(missing)'\n"));
  EXPECT_EQ(error_.file, "/s/main.sql");
  EXPECT_EQ(error_.line, 3);
  EXPECT_NE(error_.what.find("[missing] is not defined"), std::string::npos) << error_.what;
  EXPECT_EQ(error_.message().rfind("Script [/s/main.sql] line 3: scripting variable [missing]", 0), 0u)
      << error_.message();
  ASSERT_FALSE(expand("SELECT '$(no close'\n"));
  EXPECT_NE(error_.what.find("not a scripting variable reference"), std::string::npos);
  ASSERT_FALSE(expand("SELECT '$(two words)'\n"));
  ASSERT_FALSE(expand(":setvar 9x 1\n"));
  EXPECT_NE(error_.what.find(":setvar needs a variable name"), std::string::npos);
  ASSERT_FALSE(expand(":setvar x \"open\n"));
  ASSERT_FALSE(expand(":setvar x a b\n"));
}

TEST_F(SqlcmdExpansionTest, IncludesGoInPlaceWithTheirOwnLineOrigins) {
  files_["/s/sub/inc.sql"] = "PRINT '$(x)'\nGO\n:r ../leaf.sql\nPRINT 'after leaf'";  // no final line end
  files_["/s/leaf.sql"] = ":setvar x leaf\nPRINT 'leaf'\n";
  settings_.variables = {{"x", "outer"}};
  ASSERT_TRUE(expand("SELECT 1\n:r sub/inc.sql\nSELECT '$(x)'\n")) << where();
  EXPECT_EQ(out_.text, "SELECT 1\nPRINT 'outer'\nGO\n\nPRINT 'leaf'\nPRINT 'after leaf'\nSELECT 'leaf'\n");
  ASSERT_EQ(out_.files, (std::vector<std::string>{"/s/main.sql", "/s/sub/inc.sql", "/s/leaf.sql"}));
  const std::vector<std::pair<int, int>> expected = {{0, 1}, {1, 1}, {1, 2}, {2, 1}, {2, 2}, {1, 4}, {0, 3}};
  ASSERT_EQ(out_.origins.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(out_.origins[i].file, expected[i].first) << "line " << i + 1;
    EXPECT_EQ(out_.origins[i].line, expected[i].second) << "line " << i + 1;
  }
  EXPECT_EQ(out_.fileOf(out_.originOf(6)), "/s/sub/inc.sql");
}

TEST_F(SqlcmdExpansionTest, ProblemsInsideAnIncludedFileNameThatFile) {
  files_["/s/inc.sql"] = "SELECT 1\nSELECT $(nope)\n";
  ASSERT_FALSE(expand(":r \"inc.sql\"\n"));
  EXPECT_EQ(error_.file, "/s/inc.sql");
  EXPECT_EQ(error_.line, 2);
  ASSERT_FALSE(expand("\n:r absent.sql\n"));
  EXPECT_EQ(error_.file, "/s/main.sql");
  EXPECT_EQ(error_.line, 2);
  EXPECT_NE(error_.what.find("cannot include [/s/absent.sql]: Cannot open file"), std::string::npos)
      << error_.what;
}

TEST_F(SqlcmdExpansionTest, IncludeCyclesAndDeepNestingAreRefused) {
  files_["/s/a.sql"] = ":r b.sql\n";
  files_["/s/b.sql"] = "SELECT 1\n:r a.sql\n";
  ASSERT_FALSE(expand(":r a.sql\n"));
  EXPECT_EQ(error_.file, "/s/b.sql");
  EXPECT_EQ(error_.line, 2);
  EXPECT_NE(error_.what.find("includes itself (/s/a.sql -> /s/b.sql -> /s/a.sql)"), std::string::npos)
      << error_.what;
  ASSERT_FALSE(expand(":r main.sql\n")) << "a script including itself";

  // A chain of 16 includes is accepted, 17 are not.
  for (int i = 1; i <= 17; ++i) {
    files_["/s/d" + std::to_string(i) + ".sql"] =
        i < 17 ? ":r d" + std::to_string(i + 1) + ".sql\n" : "SELECT 1\n";
  }
  files_["/s/d16.sql"] = "SELECT 16\n";
  loads_ = 0;
  ASSERT_TRUE(expand(":r d1.sql\n")) << where();
  EXPECT_EQ(loads_, 16);
  files_["/s/d16.sql"] = ":r d17.sql\n";
  ASSERT_FALSE(expand(":r d1.sql\n"));
  EXPECT_EQ(error_.file, "/s/d16.sql");
  EXPECT_NE(error_.what.find("nested more than 16 deep"), std::string::npos) << error_.what;
}

TEST_F(SqlcmdExpansionTest, OnlyOnErrorExitIsAcceptedAmongTheOtherCommands) {
  ASSERT_TRUE(expand(":on error exit\nSELECT 1\n:ON  ERROR  EXIT\n")) << where();
  EXPECT_EQ(out_.text, "\nSELECT 1\n\n");
  for (const char* script :
       {":on error ignore\n", "!! dir\n", ":connect other\n", ":out file.txt\n", ":reset\n"}) {
    EXPECT_FALSE(expand(script)) << script;
    EXPECT_EQ(error_.line, 1);
    EXPECT_NE(error_.what.find("not supported"), std::string::npos) << error_.what;
  }
}

TEST_F(SqlcmdExpansionTest, CommandsInsideCommentsAndLiteralsAreText) {
  ASSERT_TRUE(expand("/*\n:r x.sql\n*/\nSELECT '\n:setvar a b\n'\n")) << where();
  EXPECT_EQ(out_.text, "/*\n:r x.sql\n*/\nSELECT '\n:setvar a b\n'\n");
  EXPECT_EQ(loads_, 0);
}

TEST(ScriptSettingsTest, VariableListsAndNames) {
  std::vector<std::pair<std::string, std::string>> vars;
  std::string error;
  ASSERT_TRUE(parseScriptVariableList("A=1; B = two;C=x=y;;z;D=;", vars, error)) << error;
  EXPECT_EQ(vars, (std::vector<std::pair<std::string, std::string>>{
                      {"A", "1"}, {"B", " two"}, {"C", "x=y;z"}, {"D", ""}}));
  EXPECT_FALSE(parseScriptVariableList("A=1;novalue", vars, error));
  EXPECT_NE(error.find("[novalue] is not NAME=VALUE"), std::string::npos);
  EXPECT_FALSE(parseScriptVariableList("1A=1", vars, error));
  EXPECT_FALSE(parseScriptVariableList("A=line\nGO 0", vars, error)) << "a line break would move lines";
  EXPECT_EQ(vars.size(), 4u) << "a failed list adds nothing";
  std::string name, value;
  const std::string item = scriptVariableListItem("P", "a;b;;c");
  vars.clear();
  ASSERT_TRUE(parseScriptVariableList(item, vars, error));
  EXPECT_EQ(vars.at(0).second, "a;b;;c") << "the list form round-trips";
  for (const char* good : {"a", "_x", "db-name", "V2"}) EXPECT_TRUE(isScriptVariableName(good)) << good;
  for (const char* bad : {"", "2v", "-v", "a b", "a.b", "a$", "x)"})
    EXPECT_FALSE(isScriptVariableName(bad)) << bad;
}

}  // namespace
}  // namespace zarezodud
