// DBQueries execution: the exact texts sent to each database, the return-code rules of script
// files, last-error texts, and the script-time log.
#include <gtest/gtest.h>

#include <thread>

#include "db/db_queries.h"
#include "db/return_codes.h"
#include "platform/registry/rk_platform_info.h"
#include "support/env_override.h"
#include "support/log_capture.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"
#include "support/scripted_database.h"
#include "support/temp_dir.h"

namespace {

// Appends a failing reply that ended by the given interruption in the batch starting at line.
void failWithInterruption(ztest::ConnectionScript& script, RKSimpleDBConnObject::Interruption how, int line,
                          bool closesConnection) {
  ztest::ScriptedReply& r = script.reply();
  r.ok = false;
  r.error = "interrupted";
  r.interruption = how;
  r.interruptedLine = line;
  r.closesConnection = closesConnection;
}

class ExecutionTest : public ztest::ScriptedDatabaseTest {
 protected:
  std::string scriptTimeLog() const {
    const std::string log = ztest::UpgradeLogCapture::logPath();
    return ztest::readFile(log.substr(0, log.rfind('/')) + "/ScriptTime.log");
  }
  void setThreshold(unsigned long long seconds) {
    zarezodud::RKPlatformInfo registry(0, 0);
    ASSERT_TRUE(registry.setNumber("Database", "nScriptExecutionThreshold", seconds));
  }
};

TEST(ReturnCodesTest, Classes) {
  for (int code : {1, 101, 150, 200}) EXPECT_TRUE(isWarningCode(code) && !isErrorCode(code)) << code;
  for (int code : {2, 50, 100}) EXPECT_TRUE(isErrorCode(code) && !isWarningCode(code)) << code;
  for (int code : {0, 201, 255, -1}) EXPECT_FALSE(isErrorCode(code) || isWarningCode(code)) << code;
}

TEST(ReturnCodesTest, Merging) {
  struct Case {
    int current, next, expected;
  } cases[] = {{0, 1, 1}, {1, 101, 101}, {150, 101, 150}, {150, 5, 5}, {5, 150, 5},
               {5, 7, 7}, {7, 5, 7},     {3, 0, 3},       {0, 300, 0}, {300, 0, 300}};
  for (const Case& c : cases) {
    EXPECT_EQ(getEffectiveReturnCode(c.current, c.next), c.expected) << c.current << ", " << c.next;
  }
}

TEST(ReturnCodesTest, TempOutputFileAndTruncation) {
  ztest::EnvOverride unset("ZAREZODUD_OUTPUT_DIR");
  char a[64], b[64];
  getTempOutputFile("/somewhere", a);
  getTempOutputFile(nullptr, b);
  EXPECT_STREQ(a, "/tmp/.qxsetup/tempOutputFile.txt");
  EXPECT_STREQ(b, a);

  ztest::TempDir dir;
  const std::string missing = dir.file("missing.txt");
  truncateFile(missing.c_str());
  EXPECT_FALSE(ztest::fileExists(missing));
  const std::string full = dir.write("full.txt", "messages\n");
  truncateFile(full.c_str());
  EXPECT_EQ(ztest::readFile(full), "");
}

TEST_F(ExecutionTest, ProductTextsCarryTheirPreambles) {
  ASSERT_EQ(db_.executeSQLQuery("SELECT 1", 1, "OFF"), 1u);
  ASSERT_EQ(db_.executeSQLQuery("SELECT 2", 0, "ON"), 1u);
  ASSERT_EQ(texts().size(), 2u);
  EXPECT_EQ(texts()[0], "SET XACT_ABORT ON\nGO\nSET QUOTED_IDENTIFIER OFF\nGO\nSELECT 1");
  EXPECT_EQ(texts()[1], "SET QUOTED_IDENTIFIER ON\nGO\nSELECT 2");
  EXPECT_EQ(fake_.script().count("executeQueryForZARezodud"), 2);
}

TEST_F(ExecutionTest, MasterTextsHaveNoQuotedIdentifierPreamble) {
  ASSERT_EQ(db_.executeSQLQueryOnMasterDB("DBCC X", 0), 1u);
  ASSERT_EQ(db_.executeSQLQueryOnMasterDBForZARezodud("DROP DATABASE d", 1), 1u);
  EXPECT_EQ(texts()[0], "DBCC X");
  EXPECT_EQ(texts()[1], "SET XACT_ABORT ON\nGO\nDROP DATABASE d");
  EXPECT_TRUE(db_.hasMasterConnection());
  EXPECT_FALSE(db_.hasDBConnection());
}

TEST_F(ExecutionTest, TextStopsAtFirstNul) {
  ASSERT_EQ(db_.executeSQLQuery(std::string("SELECT 1\0SELECT 2", 17), 0, "ON"), 1u);
  EXPECT_EQ(texts()[0], "SET QUOTED_IDENTIFIER ON\nGO\nSELECT 1");
}

TEST_F(ExecutionTest, SingleRowResults) {
  fake_.script().rowNext("catalogue");
  std::string text = "untouched";
  ASSERT_EQ(db_.executeSQLQueryAndReturnString("SELECT name", text, 0, "ON"), 1u);
  EXPECT_EQ(text, "catalogue");
  fake_.script().failNext("Invalid column name 'x'.");
  text = "untouched";
  EXPECT_EQ(db_.executeSQLQueryAndReturnString("SELECT x", text, 0, "ON"), 0u);
  EXPECT_EQ(text, "untouched");
  EXPECT_STREQ(db_.getLastError(), "Invalid column name 'x'.");

  fake_.script().rowNext("42");
  int value = 0;
  ASSERT_EQ(db_.executeSQLQueryAndReturnIntOnMasterDB("SELECT 42", value, 0), 1u);
  EXPECT_EQ(value, 42);
}

TEST_F(ExecutionTest, MissingScriptFileOpensNoConnection) {
  int code = 7;
  const std::string path = dir_.file("absent.sql");
  EXPECT_EQ(db_.executeSQLFile(path, code, 1, 1, "ON"), 0u);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(std::string(db_.getLastError()), "Cannot open file [" + path + "].");
  EXPECT_EQ(fake_.script().made, 0);
  int value = 5;
  EXPECT_EQ(db_.executeSQLFileAndReturnInt(path, value, 1, "ON"), 0u);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(db_.executeSQLFileOnMasterDB(path, 1, 1), 0u);
  EXPECT_EQ(fake_.script().made, 0);
}

TEST_F(ExecutionTest, ScriptFileReturnCodeRules) {
  const std::string path = dir_.write("s.sql", "SELECT 150\nGO\n");
  int code = 0;
  fake_.script().reply().returnCode = 150;
  EXPECT_EQ(db_.executeSQLFile(path, code, 1, 1, "ON"), 1u);
  EXPECT_EQ(code, 150);
  EXPECT_EQ(std::string(db_.getLastError()),
            "Warning occurred while executing File [" + path + "]. ExitCode [150]");
  EXPECT_EQ(texts()[0], "SET XACT_ABORT ON\nGO\nSET QUOTED_IDENTIFIER ON\nGO\nSELECT 150\nGO\n");

  fake_.script().reply().returnCode = 5;
  EXPECT_EQ(db_.executeSQLFile(path, code, 1, 1, "ON"), 0u);
  EXPECT_EQ(code, 5);
  EXPECT_EQ(std::string(db_.getLastError()), "Failed to execute File [" + path + "]. ExitCode [5]");

  for (int harmless : {0, 250}) {
    fake_.script().reply().returnCode = harmless;
    EXPECT_EQ(db_.executeSQLFile(path, code, 1, 1, "ON"), 1u);
    EXPECT_EQ(code, harmless);
  }

  // Without the check flag the script's own code is not read.
  fake_.script().reply().returnCode = 5;
  EXPECT_EQ(db_.executeSQLFile(path, code, 0, 0, "ON"), 1u);
  EXPECT_EQ(code, 0);

  fake_.script().failNext("Incorrect syntax near 'GO'.");
  EXPECT_EQ(db_.executeSQLFile(path, code, 1, 1, "ON"), 0u);
  EXPECT_EQ(code, 2);
  EXPECT_STREQ(db_.getLastError(), "Incorrect syntax near 'GO'.");
}

TEST_F(ExecutionTest, MasterScriptCodesAreClassedButNotHandedOut) {
  const std::string path = dir_.write("m.sql", "EXEC check\n");
  fake_.script().rowNext("120");
  EXPECT_EQ(db_.executeSQLFileOnMasterDB(path, 0, 1), 1u);
  EXPECT_STREQ(db_.getLastError(), "Script Returned WarningCode [120].");
  fake_.script().rowNext("3");
  EXPECT_EQ(db_.executeSQLFileOnMasterDB(path, 0, 1), 0u);
  EXPECT_STREQ(db_.getLastError(), "Script Returned ErrorCode [3].");
  EXPECT_EQ(texts()[0], "EXEC check\n");
}

TEST_F(ExecutionTest, ScriptTimeThresholdDefaultsToTwoSecondsAndIsReadOnce) {
  ztest::UpgradeLogCapture log;
  const auto start = std::chrono::system_clock::now();
  db_.logScriptExecTime("fast.sql", start, start + std::chrono::milliseconds(1999));
  EXPECT_EQ(db_.getScriptTimeThreshold(), 2);
  EXPECT_TRUE(log.contains(
      "Could not get the value of nScriptExecutionThreshold from TessalyRegistry. Using default."));
  db_.logScriptExecTime("slow%n%s.sql", start, start + std::chrono::seconds(2));
  const std::string times = scriptTimeLog();
  EXPECT_EQ(times.find("fast.sql"), std::string::npos);
  EXPECT_NE(times.find("slow%n%s.sql - 2 secs"), std::string::npos) << times;

  setThreshold(10);  // read once per object: the first value stays
  db_.logScriptExecTime("again.sql", start, start + std::chrono::seconds(3));
  EXPECT_NE(scriptTimeLog().find("again.sql - 3 secs"), std::string::npos);
}

TEST_F(ExecutionTest, RegistryThresholdOfZeroMeansTwo) {
  setThreshold(0);
  DBQueries db("SQL Server", "srv", "", "Corehub", "sa", "pw");
  const auto start = std::chrono::system_clock::now();
  db.logScriptExecTime("zero.sql", start, start);
  EXPECT_EQ(db.getScriptTimeThreshold(), 2);
  setThreshold(5);
  DBQueries five("SQL Server", "srv", "", "Corehub", "sa", "pw");
  five.logScriptExecTime("four.sql", start, start + std::chrono::seconds(4));
  EXPECT_EQ(five.getScriptTimeThreshold(), 5);
  EXPECT_EQ(scriptTimeLog().find("four.sql"), std::string::npos);
}

TEST_F(ExecutionTest, ScriptTimeoutComesFromTheRegistryAppliesToScriptFilesOnlyAndNamesTheScriptLine) {
  zarezodud::RKPlatformInfo registry(0, 0);
  ASSERT_TRUE(registry.setNumber("Database", "nScriptTimeoutSeconds", 3));
  const std::string path = dir_.write("slow.sql", "PRINT 1\nGO\nWAITFOR DELAY '00:01:00'\n");
  int code = 0;
  ASSERT_EQ(db_.executeSQLFile(path, code, 0, 0, "ON"), 1u);
  ASSERT_EQ(db_.executeSQLQuery("SELECT 1", 0, "ON"), 1u);
  EXPECT_EQ(fake_.script().queryTimeouts, (std::vector<int>{3, 0})) << "plain queries run without the limit";

  // The interrupted batch began on line 5 of the text sent, line 3 of the file behind the
  // two preamble batches of XACT_ABORT and QUOTED_IDENTIFIER.
  failWithInterruption(fake_.script(), RKSimpleDBConnObject::Interruption::kTimedOut, 7, false);
  EXPECT_EQ(db_.executeSQLFile(path, code, 1, 1, "ON"), 0u);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(std::string(db_.getLastError()),
            "Script [" + path + "] exceeded the timeout of 3 second(s) in the batch starting at line 3.");
  EXPECT_TRUE(db_.hasDBConnection()) << "a connection that came back is kept";

  // The command line's value overrides the registry; a closed connection is replaced.
  db_.setScriptTimeout(1);
  failWithInterruption(fake_.script(), RKSimpleDBConnObject::Interruption::kTimedOut, 3, true);
  EXPECT_EQ(db_.executeSQLFile(path, code, 0, 1, "ON"), 0u);
  EXPECT_EQ(std::string(db_.getLastError()),
            "Script [" + path + "] exceeded the timeout of 1 second(s) in the batch starting at line 1.");
  EXPECT_FALSE(db_.hasDBConnection());
  const int made = fake_.script().made;
  EXPECT_EQ(db_.executeSQLFile(path, code, 0, 1, "ON"), 1u) << db_.getLastError();
  EXPECT_EQ(fake_.script().made, made + 1) << "the next script opens a new connection";

  // A plain failure keeps the server's text.
  fake_.script().failNext("Invalid object name 'x'.");
  EXPECT_EQ(db_.executeSQLFile(path, code, 0, 1, "ON"), 0u);
  EXPECT_STREQ(db_.getLastError(), "Invalid object name 'x'.");
}

TEST_F(ExecutionTest, ConnectionIsToldHowManyPreambleLinesStandBeforeTheCallersText) {
  const std::string path = dir_.write("one.sql", "SELECT 1\n");
  int code = 0;
  ASSERT_EQ(db_.executeSQLFile(path, code, 1, 0, "ON"), 1u) << db_.getLastError();
  ASSERT_EQ(db_.executeSQLQuery("SELECT 1", 0, "ON"), 1u) << db_.getLastError();
  ASSERT_EQ(db_.executeSQLQueryOnMasterDB("SELECT 1", 1), 1u) << db_.getLastError();
  ASSERT_EQ(db_.executeSQLQueryOnMasterDB("SELECT 1", 0), 1u) << db_.getLastError();
  // XACT_ABORT and QUOTED_IDENTIFIER pairs on the product database, the XACT_ABORT pair alone
  // on master; back to none after each text.
  EXPECT_EQ(fake_.script().leadingLines, (std::vector<int>{4, 0, 2, 0, 2, 0, 0, 0}));
}

TEST_F(ExecutionTest, NoTimeoutWithoutRegistryValueAndCancelReachesTheOpenConnection) {
  DBQueries db("SQL Server", "srv", "", "Corehub", "sa", "pw");
  EXPECT_EQ(db.getScriptTimeout(), 0);
  EXPECT_EQ(db.cancelRunningScript(), 0u) << "nothing is open";
  const std::string path = dir_.write("c.sql", "SELECT 1\n");
  int code = 0;
  failWithInterruption(fake_.script(), RKSimpleDBConnObject::Interruption::kCancelled, 3, false);
  EXPECT_EQ(db.executeSQLFile(path, code, 0, 1, "ON"), 0u);
  EXPECT_EQ(std::string(db.getLastError()),
            "Script [" + path + "] was cancelled in the batch starting at line 1.");
  EXPECT_EQ(db.cancelRunningScript(), 1u);
  EXPECT_EQ(fake_.script().cancels, 1);
}

}  // namespace
