#include "log/zarezodud_logger.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace {

// Each test starts from an uninitialised upgrade log at the default level.
class ZARezodudLoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("ZAREZODUD_DEBUG_LEVEL");
    if (old != nullptr) savedLevel_ = old, hadLevel_ = true;
    unsetenv("ZAREZODUD_DEBUG_LEVEL");
    ZARezodudLogger::resetForTesting();
  }
  void TearDown() override {
    ZARezodudLogger::resetForTesting();
    if (hadLevel_) setenv("ZAREZODUD_DEBUG_LEVEL", savedLevel_.c_str(), 1);
  }

  std::string upgradeLog() const { return ztest::readFile(dir_.file("Upgrade.log")); }
  std::string scriptTimeLog() const { return ztest::readFile(dir_.file("ScriptTime.log")); }

  ztest::TempDir dir_;

 private:
  std::string savedLevel_;
  bool hadLevel_ = false;
};

TEST_F(ZARezodudLoggerTest, LogLineOverloadsWriteContextAndMessage) {
  ASSERT_TRUE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  ZARezodudLogger::LogLine("INIFileProcessor::processPhase", "Phase [%s] started, code [%d].", "Main", 7);
  ZARezodudLogger::LogLine("DBQueries::executeSQLFile", std::string("plain text"));
  ZARezodudLogger::LogLine(4, "INIFileProcessor::runSQLList", "summary %d", 3);
  ZARezodudLogger::LogLine(6, "INIFileProcessor::runSQLList", "%s", "above the level");

  const std::string text = upgradeLog();
  EXPECT_NE(text.find(" 5 INIFileProcessor::processPhase Phase [Main] started, code [7].\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(" 5 DBQueries::executeSQLFile plain text\n"), std::string::npos);
  EXPECT_NE(text.find(" 4 INIFileProcessor::runSQLList summary 3\n"), std::string::npos);
  EXPECT_EQ(text.find("above the level"), std::string::npos);
  // Upgrade-log lines do not reach the script-time log.
  EXPECT_EQ(scriptTimeLog().find("plain text"), std::string::npos);
}

TEST_F(ZARezodudLoggerTest, ScriptTimeLinesGoToScriptTimeLogBesideTheUpgradeLog) {
  ASSERT_TRUE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  ZARezodudLogger::LogScriptTime("upgrade.sql", 75);
  ZARezodudLogger::LogScriptTime("fast.sql", 0);
  ZARezodudLogger::LogToScriptTimeLog("Database: CoreDB, PhaseName: Main.");

  const std::string text = scriptTimeLog();
  EXPECT_NE(text.find(" 3 upgrade.sql - 75 secs\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" 3 fast.sql - 0 secs\n"), std::string::npos);
  EXPECT_NE(text.find(" 3 Database: CoreDB, PhaseName: Main.\n"), std::string::npos);
  EXPECT_EQ(upgradeLog().find("secs"), std::string::npos);
}

TEST_F(ZARezodudLoggerTest, ScriptTimeLevelFollowsTheUpgradeLogLevel) {
  setenv("ZAREZODUD_DEBUG_LEVEL", "2", 1);
  ASSERT_TRUE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  // Level 3 lines do not pass a log at level 2, and LogLine at the log's own level does.
  ZARezodudLogger::LogScriptTime("upgrade.sql", 75);
  ZARezodudLogger::LogLine("C::m", "%s", "at the current level");
  EXPECT_EQ(scriptTimeLog().find("upgrade.sql"), std::string::npos);
  EXPECT_NE(upgradeLog().find(" 2 C::m at the current level\n"), std::string::npos);
}

TEST_F(ZARezodudLoggerTest, PercentSignsInTextsAreWrittenLiterally) {
  ASSERT_TRUE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  ZARezodudLogger::LogScriptTime("fix_%n_%s_%d.sql", 12);
  ZARezodudLogger::LogToScriptTimeLog("Database: %s, PhaseName: %n%d.");
  ZARezodudLogger::LogLine("C::m", std::string("formatted earlier: 100% %n %s %d"));
  ZARezodudLogger::LogLine("C::m", "%s", "as argument: %n %s %d");

  const std::string times = scriptTimeLog();
  EXPECT_NE(times.find(" fix_%n_%s_%d.sql - 12 secs\n"), std::string::npos) << times;
  EXPECT_NE(times.find(" Database: %s, PhaseName: %n%d.\n"), std::string::npos);
  const std::string text = upgradeLog();
  EXPECT_NE(text.find(" C::m formatted earlier: 100% %n %s %d\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" C::m as argument: %n %s %d\n"), std::string::npos);
}

TEST_F(ZARezodudLoggerTest, SecondInitKeepsTheFirstSetUp) {
  ztest::TempDir other;
  ASSERT_TRUE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  EXPECT_TRUE(ZARezodudLogger::init(other.file("Other.log")));
  EXPECT_EQ(ZARezodudLogger::logFilePathForTesting(), dir_.file("Upgrade.log"));
  ZARezodudLogger::LogLine("C::m", "%s", "after second init");
  ZARezodudLogger::LogScriptTime("s.sql", 1);
  EXPECT_NE(upgradeLog().find("after second init"), std::string::npos);
  EXPECT_NE(scriptTimeLog().find("s.sql - 1 secs"), std::string::npos);
  EXPECT_FALSE(ztest::fileExists(other.file("Other.log")));
  EXPECT_FALSE(ztest::fileExists(other.file("ScriptTime.log")));
}

TEST_F(ZARezodudLoggerTest, FailedSinkSetUpReportsAndALaterInitTriesAgain) {
  // A directory where the script-time file should be makes the sink fail.
  std::filesystem::create_directory(dir_.file("ScriptTime.log"));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Logger initialization failed. Terminating ZARezodud.\n");
  EXPECT_EQ(ZARezodudLogger::logFilePathForTesting(), "");

  std::filesystem::remove(dir_.file("ScriptTime.log"));
  testing::internal::CaptureStdout();
  EXPECT_TRUE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ZARezodudLogger::LogScriptTime("retry.sql", 2);
  EXPECT_NE(scriptTimeLog().find("retry.sql - 2 secs"), std::string::npos);
}

TEST_F(ZARezodudLoggerTest, UnopenableUpgradeLogFailsSilently) {
  testing::internal::CaptureStdout();
  EXPECT_FALSE(ZARezodudLogger::init(""));
  EXPECT_FALSE(ZARezodudLogger::init(dir_.path()));  // a directory
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
}

}  // namespace
