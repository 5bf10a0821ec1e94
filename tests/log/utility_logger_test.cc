#include "log/utility_logger.h"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// The text after "MM/DD HH:MM:SS " of every line, checking that each line has the stamp.
std::vector<std::string> bodiesOf(const std::string& text) {
  static const std::regex stamp("^(0[1-9]|1[0-2])/[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] ");
  std::vector<std::string> bodies;
  for (const auto& line : linesOf(text)) {
    EXPECT_TRUE(std::regex_search(line, stamp)) << line;
    bodies.push_back(line.size() >= 15 ? line.substr(15) : line);
  }
  return bodies;
}

// Points the utility log into a temporary directory and restores the previous name.
class UtilityLoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = UtilityLogger::GetLogFileName();
    UtilityLogger::SetLogFileName(utilityLog().c_str());
  }
  void TearDown() override { UtilityLogger::SetLogFileName(saved_.c_str()); }

  std::string utilityLog() const { return dir_.file("Utility.log"); }

  ztest::TempDir dir_;

 private:
  std::string saved_;
};

TEST_F(UtilityLoggerTest, LogLineWritesStampTabAndMessageWithPrefixOmissions) {
  EXPECT_EQ(UtilityLogger::LogLine(std::string("plain")), 0);
  EXPECT_EQ(UtilityLogger::LogLine(static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(UtilityLogger::LogLine("Pre", std::string("msg")), 0);
  EXPECT_EQ(UtilityLogger::LogLine("", "only message"), 0);
  EXPECT_EQ(UtilityLogger::LogLine(nullptr, "null prefix"), 0);
  EXPECT_EQ(UtilityLogger::LogLine("Pre", ""), 0);
  EXPECT_EQ(UtilityLogger::LogLine("Pre", static_cast<const char*>(nullptr)), 0);

  const std::vector<std::string> expected = {"\tplain",       "\t",       "\tPre - msg", "\tonly message",
                                             "\tnull prefix", "\tPre - ", "\tPre - "};
  EXPECT_EQ(bodiesOf(ztest::readFile(utilityLog())), expected);
}

TEST_F(UtilityLoggerTest, TimeStampIsTheLocalMonthAndDay) {
  const std::time_t before = std::time(nullptr);
  ASSERT_EQ(UtilityLogger::LogLine("x"), 0);
  const std::time_t after = std::time(nullptr);
  const std::string line = ztest::readFile(utilityLog());
  auto stampOf = [](std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%m/%d %H:%M:%S ", &tm);
    return std::string(text);
  };
  const std::string stamp = line.substr(0, 15);
  EXPECT_TRUE(stamp == stampOf(before) || stamp == stampOf(after)) << line;
}

TEST_F(UtilityLoggerTest, LogToFileAddsHashesAndUsesTheHashSeparator) {
  const std::string phaseLog = dir_.file("phase.log");
  EXPECT_EQ(UtilityLogger::LogToFile(std::string("msg"), phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile(static_cast<const char*>(nullptr), phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile("INIFileProcessor::processPhase", std::string("failed"), phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile("", "no prefix", phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile(nullptr, std::string("null prefix"), phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile("Pre", "", phaseLog), 0);

  const std::vector<std::string> expected = {
      "\t## msg",         "\t## ",       "\t## INIFileProcessor::processPhase ## failed", "\t## no prefix",
      "\t## null prefix", "\t## Pre ## "};
  EXPECT_EQ(bodiesOf(ztest::readFile(phaseLog)), expected);
  EXPECT_FALSE(ztest::fileExists(utilityLog()));
}

TEST_F(UtilityLoggerTest, PercentSignsAndNulBytesAreWrittenLiterally) {
  const std::string phaseLog = dir_.file("phase %n %s.log");
  EXPECT_EQ(UtilityLogger::LogLine("%n%s", std::string("%d %s %n 100%")), 0);
  EXPECT_EQ(UtilityLogger::LogToFile("%s", "%n%n%n", phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile(std::string("a\0b", 3), phaseLog), 0);
  EXPECT_EQ(bodiesOf(ztest::readFile(utilityLog())), std::vector<std::string>{"\t%n%s - %d %s %n 100%"});
  EXPECT_EQ(bodiesOf(ztest::readFile(phaseLog)),
            (std::vector<std::string>{"\t## %s ## %n%n%n", std::string("\t## a\0b", 7)}));
}

TEST_F(UtilityLoggerTest, UnopenableFileGivesMinusOneAndAMessage) {
  const std::string bad = dir_.file("missing/dir/%s.log");
  testing::internal::CaptureStdout();
  EXPECT_EQ(UtilityLogger::LogToFile("msg", bad), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to open the log file [" + bad + "].\n");

  UtilityLogger::SetLogFileName(dir_.path().c_str());
  testing::internal::CaptureStdout();
  EXPECT_EQ(UtilityLogger::LogLine("msg"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to open the log file [" + dir_.path() + "].\n");
}

TEST_F(UtilityLoggerTest, SetLogFileNameKeepsAtMost255CharactersAndIgnoresNull) {
  EXPECT_EQ(UtilityLogger::SetLogFileName(nullptr), 0);
  EXPECT_EQ(UtilityLogger::GetLogFileName(), utilityLog());
  const std::string longName = dir_.path() + "/" + std::string(300, 'n');
  EXPECT_EQ(UtilityLogger::SetLogFileName(longName.c_str()), 0);
  EXPECT_EQ(UtilityLogger::GetLogFileName(), longName.substr(0, 255));
}

TEST_F(UtilityLoggerTest, PrintoutContentsStampsEveryLineAndKeepsLongLinesWhole) {
  const std::string longLine(10000, 'L');
  const std::string source = dir_.write("out.txt", "first %s\n\n" + longLine + "\nlast without newline");
  const std::string target = dir_.file("phase.log");
  UtilityLogger::printoutContents("ignored", source, target);
  const std::vector<std::string> expected = {"\t## first %s", "\t## ", "\t## " + longLine,
                                             "\t## last without newline"};
  EXPECT_EQ(bodiesOf(ztest::readFile(target)), expected);
}

TEST_F(UtilityLoggerTest, PrintoutContentsWithoutTimeStampsAppendsLinesUnchanged) {
  const std::string target = dir_.write("phase.log", "before\n");
  const std::string source =
      dir_.write("out.txt", std::string("a %n\r\nb\0c\n\n", 11) + std::string(5000, 'x'));
  UtilityLogger::printoutContentsWithoutTS(source, target);
  EXPECT_EQ(ztest::readFile(target),
            "before\n" + std::string("a %n\r\nb\0c\n\n", 11) + std::string(5000, 'x') + "\n");
}

TEST_F(UtilityLoggerTest, CopyFailuresAreWrittenToTheUtilityLog) {
  const std::string missing = dir_.file("missing.txt");
  const std::string target = dir_.file("phase.log");
  UtilityLogger::printoutContents(nullptr, missing, target);
  UtilityLogger::printoutContentsWithoutTS(missing, target);
  EXPECT_FALSE(ztest::fileExists(target));

  const std::string source = dir_.write("out.txt", "line\n");
  const std::string badTarget = dir_.file("no/such/dir.log");
  UtilityLogger::printoutContentsWithoutTS(source, badTarget);

  const std::vector<std::string> expected = {"\tFailed to open the file [" + missing + "].",
                                             "\tFailed to open the file [" + missing + "].",
                                             "\tFailed to open the file [" + badTarget + "]."};
  EXPECT_EQ(bodiesOf(ztest::readFile(utilityLog())), expected);
}

}  // namespace
