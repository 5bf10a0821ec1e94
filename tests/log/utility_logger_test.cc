#include "log/utility_logger.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using Lines = std::vector<std::string>;

// The text after "MM/DD HH:MM:SS " of every line, checking that each line has the stamp.
Lines bodiesOf(const std::string& text) {
  static const std::regex stamp("^(0[1-9]|1[0-2])/[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] ");
  Lines bodies;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
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
  EXPECT_EQ(UtilityLogger::LogLine("Pre", static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(UtilityLogger::LogLine("%n%s", std::string("%d %s %n 100%")), 0);
  EXPECT_EQ(bodiesOf(ztest::readFile(utilityLog())),
            (Lines{"\tplain", "\t", "\tPre - msg", "\tonly message", "\tnull prefix", "\tPre - ",
                   "\t%n%s - %d %s %n 100%"}));
}

TEST_F(UtilityLoggerTest, LogToFileAddsHashesAndUsesTheHashSeparator) {
  const std::string phaseLog = dir_.file("phase %n %s.log");
  EXPECT_EQ(UtilityLogger::LogToFile(std::string("msg"), phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile(static_cast<const char*>(nullptr), phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile("INIFileProcessor::processPhase", std::string("failed"), phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile("", "no prefix", phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile("%s", "", phaseLog), 0);
  EXPECT_EQ(UtilityLogger::LogToFile(std::string("a\0%n", 4), phaseLog), 0);
  EXPECT_EQ(bodiesOf(ztest::readFile(phaseLog)),
            (Lines{"\t## msg", "\t## ", "\t## INIFileProcessor::processPhase ## failed", "\t## no prefix",
                   "\t## %s ## ", std::string("\t## a\0%n", 8)}));
  EXPECT_FALSE(ztest::fileExists(utilityLog()));
}

TEST_F(UtilityLoggerTest, UnopenableFilesGiveMinusOneAndAMessage) {
  const std::string bad = dir_.file("missing/dir/%s.log");
  testing::internal::CaptureStdout();
  EXPECT_EQ(UtilityLogger::LogToFile("msg", bad), -1);
  UtilityLogger::SetLogFileName(dir_.path().c_str());
  EXPECT_EQ(UtilityLogger::LogLine("msg"), -1);
  EXPECT_EQ(
      testing::internal::GetCapturedStdout(),
      "Failed to open the log file [" + bad + "].\nFailed to open the log file [" + dir_.path() + "].\n");
}

TEST_F(UtilityLoggerTest, SetLogFileNameKeepsAtMost255CharactersAndIgnoresNull) {
  EXPECT_EQ(UtilityLogger::SetLogFileName(nullptr), 0);
  EXPECT_EQ(UtilityLogger::GetLogFileName(), utilityLog());
  const std::string longName = dir_.path() + "/" + std::string(300, 'n');
  EXPECT_EQ(UtilityLogger::SetLogFileName(longName.c_str()), 0);
  EXPECT_EQ(UtilityLogger::GetLogFileName(), longName.substr(0, 255));
}

TEST_F(UtilityLoggerTest, PrintoutContentsCopiesLinesWholeWithAndWithoutStamps) {
  const std::string longLine(10000, 'L');
  const std::string source = dir_.write("out.txt", "first %s\n\n" + longLine + "\nlast without newline");
  UtilityLogger::printoutContents("ignored", source, dir_.file("stamped.log"));
  EXPECT_EQ(bodiesOf(ztest::readFile(dir_.file("stamped.log"))),
            (Lines{"\t## first %s", "\t## ", "\t## " + longLine, "\t## last without newline"}));

  const std::string target = dir_.write("plain.log", "before\n");
  const std::string raw = std::string("a %n\r\nb\0c\n\n", 11) + longLine;
  UtilityLogger::printoutContentsWithoutTS(dir_.write("raw.txt", raw), target);
  EXPECT_EQ(ztest::readFile(target), "before\n" + raw + "\n");
}

TEST_F(UtilityLoggerTest, CopyFailuresAreWrittenToTheUtilityLog) {
  const std::string missing = dir_.file("missing.txt");
  const std::string target = dir_.file("phase.log");
  UtilityLogger::printoutContents(nullptr, missing, target);
  UtilityLogger::printoutContentsWithoutTS(missing, target);
  EXPECT_FALSE(ztest::fileExists(target));
  const std::string badTarget = dir_.file("no/such/dir.log");
  UtilityLogger::printoutContentsWithoutTS(dir_.write("out.txt", "line\n"), badTarget);
  EXPECT_EQ(
      bodiesOf(ztest::readFile(utilityLog())),
      (Lines{"\tFailed to open the file [" + missing + "].", "\tFailed to open the file [" + missing + "].",
             "\tFailed to open the file [" + badTarget + "]."}));
}

}  // namespace
