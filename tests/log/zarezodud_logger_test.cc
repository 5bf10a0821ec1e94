#include "log/zarezodud_logger.h"

#include <gtest/gtest.h>

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

TEST_F(ZARezodudLoggerTest, LinesGoToTheirLogsAndPercentSignsStayLiteral) {
  ASSERT_TRUE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  ZARezodudLogger::LogLine("INIFileProcessor::processPhase", "Phase [%s] code [%d].", "Main", 7);
  ZARezodudLogger::LogLine("C::m", std::string("formatted earlier: 100% %n %s %d"));
  ZARezodudLogger::LogLine(4, "C::run", "summary %d", 3);
  ZARezodudLogger::LogLine(6, "C::run", "%s", "above the level");
  ZARezodudLogger::LogScriptTime("upgrade.sql", 75);
  ZARezodudLogger::LogScriptTime("fix_%n_%s.sql", 0);
  ZARezodudLogger::LogToScriptTimeLog("Database: %s, PhaseName: %n%d.");

  const std::string text = upgradeLog();
  EXPECT_NE(text.find(" 5 INIFileProcessor::processPhase Phase [Main] code [7].\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find(" 5 C::m formatted earlier: 100% %n %s %d\n"), std::string::npos);
  EXPECT_NE(text.find(" 4 C::run summary 3\n"), std::string::npos);
  EXPECT_EQ(text.find("above the level"), std::string::npos);
  EXPECT_EQ(text.find("secs"), std::string::npos);

  const std::string times = scriptTimeLog();
  EXPECT_NE(times.find(" 3 upgrade.sql - 75 secs\n"), std::string::npos) << times;
  EXPECT_NE(times.find(" 3 fix_%n_%s.sql - 0 secs\n"), std::string::npos);
  EXPECT_NE(times.find(" 3 Database: %s, PhaseName: %n%d.\n"), std::string::npos);
  EXPECT_EQ(times.find("summary"), std::string::npos);
}

TEST_F(ZARezodudLoggerTest, ScriptTimeLevelFollowsTheUpgradeLogLevel) {
  setenv("ZAREZODUD_DEBUG_LEVEL", "2", 1);
  ASSERT_TRUE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  ZARezodudLogger::LogScriptTime("upgrade.sql", 75);
  ZARezodudLogger::LogLine("C::m", "%s", "at the current level");
  EXPECT_EQ(scriptTimeLog().find("upgrade.sql"), std::string::npos);
  EXPECT_NE(upgradeLog().find(" 2 C::m at the current level\n"), std::string::npos);
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

TEST_F(ZARezodudLoggerTest, FailedInitReportsOnlySinkFailuresAndALaterInitTriesAgain) {
  testing::internal::CaptureStdout();
  EXPECT_FALSE(ZARezodudLogger::init(""));
  EXPECT_FALSE(ZARezodudLogger::init(dir_.path()));  // a directory: the upgrade log fails silently
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  // A directory where the script-time file should be makes the sink fail.
  std::filesystem::create_directory(dir_.file("ScriptTime.log"));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Logger initialization failed. Terminating ZARezodud.\n");

  std::filesystem::remove(dir_.file("ScriptTime.log"));
  EXPECT_TRUE(ZARezodudLogger::init(dir_.file("Upgrade.log")));
  ZARezodudLogger::LogScriptTime("retry.sql", 2);
  EXPECT_NE(scriptTimeLog().find("retry.sql - 2 secs"), std::string::npos);
}

}  // namespace
