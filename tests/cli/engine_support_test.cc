// Turning what the engine logs during validation into problems that name a file.
#include "engine_support.h"

#include <gtest/gtest.h>

#include "log/zarezodud_logger.h"

namespace {

TEST(EngineSupportTest, TapSeesFormattedLinesOnlyWhileInstalled) {
  std::vector<std::pair<std::string, std::string>> seen;
  {
    zcli::LogTap tap;
    ZARezodudLogger::LogLine("Ctx::a", "value [%d] of [%s]", 7, "x");
    ZARezodudLogger::LogLine("Ctx::b", std::string("100% literal"));
    ZARezodudLogger::LogLine(4, "Ctx::c", "level %s", "four");
    seen = tap.lines();
  }
  ZARezodudLogger::LogLine("Ctx::d", "after %s", "removal");
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (std::pair<std::string, std::string>{"Ctx::a", "value [7] of [x]"}));
  EXPECT_EQ(seen[1].second, "100% literal");
  EXPECT_EQ(seen[2].second, "level four");
}

TEST(EngineSupportTest, ProblemsNameTheFileTheyConcern) {
  const std::string config = "/i/phases.ini";
  const std::vector<std::pair<std::string, std::string>> lines = {
      {"INIFileProcessor::validatePhase", "Validating Phase [Top]."},
      {"INIFileProcessor::checkFileExists", "Script File [/i/d/a.sql] does not exist."},
      {"INIFileProcessor::checkFileExists",
       "Invalid filename extension [txt] for file [b.txt] in list file [/i/d/l.lst]."},
      {"INIFileProcessor::validatePhase", "Missing Phase [Sub]."},
      {"INIFileProcessor::getFileModifiedTime", "Couldn't get MAC times of the file /i/d/c.sql."},
      {"INIFileProcessor::validatePhase",
       "Invalid Command Type [SQLX] for Phase [Top]. Supported Command Types are [SQL | BATCH | EXE]."},
  };
  const auto problems = zcli::validationProblems(lines, config);
  ASSERT_EQ(problems.size(), 5u);
  EXPECT_EQ(problems[0].file, "/i/d/a.sql");
  EXPECT_EQ(problems[1].file, "/i/d/l.lst");
  EXPECT_EQ(problems[2].file, config);
  EXPECT_EQ(problems[3].file, "/i/d/c.sql");
  EXPECT_EQ(problems[4].file, config);
  EXPECT_EQ(problems[4].message.rfind("Invalid Command Type [SQLX]", 0), 0u);
}

TEST(EngineSupportTest, ExitCodesFollowReturnCodeClasses) {
  EXPECT_EQ(zcli::exitCodeFor(1, 0), 0);
  EXPECT_EQ(zcli::exitCodeFor(1, 101), 1);
  EXPECT_EQ(zcli::exitCodeFor(1, 1), 1);
  EXPECT_EQ(zcli::exitCodeFor(1, 2), 2);
  EXPECT_EQ(zcli::exitCodeFor(0, 0), 2);
  EXPECT_EQ(zcli::exitCodeFor(0, 101), 2);
}

}  // namespace
