// DBQueries with script settings: a code page for scripts that are not UTF-8, and the sqlcmd
// variable mode with a server error inside an included file reported at that file's line.
#include <gtest/gtest.h>

#include <string>

#include "db/db_queries.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"
#include "support/scripted_database.h"
#include "support/temp_dir.h"

namespace {

const char kPreamble[] = "SET XACT_ABORT ON\nGO\nSET QUOTED_IDENTIFIER ON\nGO\n";

class ScriptModesTest : public ztest::ScriptedDatabaseTest {};

TEST_F(ScriptModesTest, CodePageConvertsScriptsThatAreNotUtf8) {
  const std::string path = dir_.write("latin1.sql", "-- caf\xE9\nSELECT 1\n");
  zarezodud::ScriptSettings settings;
  settings.codePage = "1252";
  db_.setScriptSettings(settings);
  int code = -1;
  ASSERT_EQ(db_.executeSQLFile(path, code, 1, 1, "ON"), 1u) << db_.getLastError();
  ASSERT_EQ(texts().size(), 1u);
  EXPECT_EQ(texts()[0], std::string(kPreamble) + "-- caf\xC3\xA9\nSELECT 1\n");
}

TEST_F(ScriptModesTest, SqlcmdSyntaxIsSentUnchangedWhenTheModeIsOff) {
  const std::string path = dir_.write("vars.sql", ":setvar x 1\nSELECT '$(x)'\n");
  int code = -1;
  ASSERT_EQ(db_.executeSQLFile(path, code, 0, 0, "ON"), 1u) << db_.getLastError();
  EXPECT_EQ(texts().at(0), "SET QUOTED_IDENTIFIER ON\nGO\n:setvar x 1\nSELECT '$(x)'\n");
}

TEST_F(ScriptModesTest, VariableModeExpandsAndRefusesAnUndefinedVariableBeforeSending) {
  dir_.write("inc/body.sql", "INSERT INTO dbo.T VALUES ('$(tag)')\nGO\nSELECT $(missing)\n");
  const std::string path = dir_.write("main.sql", ":setvar tag v1\n:r inc/body.sql\n");
  zarezodud::ScriptSettings settings;
  settings.sqlcmdMode = true;
  db_.setScriptSettings(settings);
  int code = 0;
  EXPECT_EQ(db_.executeSQLFile(path, code, 1, 1, "ON"), 0u);
  EXPECT_EQ(code, 2);
  EXPECT_TRUE(texts().empty());
  EXPECT_EQ(std::string(db_.getLastError())
                .rfind("Script [" + dir_.file("inc/body.sql") +
                           "] line 3: scripting variable [missing] is not defined",
                       0),
            0u)
      << db_.getLastError();

  settings.variables = {{"missing", "42"}};
  db_.setScriptSettings(settings);
  ASSERT_EQ(db_.executeSQLFile(path, code, 1, 1, "ON"), 1u) << db_.getLastError();
  EXPECT_EQ(texts().at(0), std::string(kPreamble) + "\nINSERT INTO dbo.T VALUES ('v1')\nGO\nSELECT 42\n");
}

TEST_F(ScriptModesTest, AServerErrorInsideAnIncludedFileIsReportedAtThatFilesLine) {
  dir_.write("inc.sql", "PRINT 'one'\nRAISERROR('boom', 16, 1)\n");
  const std::string path = dir_.write("main.sql", "SELECT 1\nGO\n:r inc.sql\nSELECT 2\n");
  zarezodud::ScriptSettings settings;
  settings.sqlcmdMode = true;
  db_.setScriptSettings(settings);
  // The service reports the failure at line 8 of the text it got: 4 preamble lines, then
  // SELECT 1, GO, PRINT 'one' and the RAISERROR line.
  fake_.script().failNext("The batch starting at line 7 failed: boom");
  fake_.script().replies.back().errorLine = 8;
  int code = 0;
  EXPECT_EQ(db_.executeSQLFile(path, code, 1, 1, "ON"), 0u);
  EXPECT_EQ(std::string(db_.getLastError()), "The batch starting at line 7 failed: boom The error is at [" +
                                                 dir_.file("inc.sql") + "] line 2.");

  // Without quoted-identifier abort preamble lines the same error sits two lines earlier.
  fake_.script().failNext("failed");
  fake_.script().replies.back().errorLine = 3;
  EXPECT_EQ(db_.executeSQLFile(path, code, 0, 0, "ON"), 0u);
  EXPECT_EQ(std::string(db_.getLastError()), "failed The error is at [" + path + "] line 1.");
}

}  // namespace
