#include "log/log_scanner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "log/utility_logger.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

using Entries = std::vector<std::pair<int, std::string>>;

Entries scan(const std::string& content) {
  std::vector<LOGINFO> found;
  scanScriptOutput(content, found);
  Entries out;
  for (const auto& e : found) out.emplace_back(e.type, e.message);
  return out;
}

// One record as the connection service writes it.
std::string record(const std::string& message, int recNum = 1, int lineNum = 5) {
  return "12/07/26 10:15:00 SQLState:[01000] NativeError:[0] Message:[" + message +
         "] [RecNum:" + std::to_string(recNum) + ", LineNum:" + std::to_string(lineNum) + "]\n";
}

TEST(LogScannerTables, MarkersAndExpressionsAreFixed) {
  const std::vector<std::string> markers(INFORTYPELIST, INFORTYPELIST + kInfoTypeCount);
  EXPECT_EQ(markers, (std::vector<std::string>{"###ERROR###", "###WARNING###", "###ADVICE###", "###HEADER###",
                                               "###DATA###", "###DESCRIPTION###"}));
  EXPECT_STREQ(timestamp_expressions, "^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d");
  EXPECT_STREQ(RecNum_expressions, "\\][ ]\\[RecNum:[0-9]+, LineNum:[0-9]+\\]n*");
}

TEST(LogScanner, OneMarkerPerRecordLosesTheRecordTag) {
  EXPECT_EQ(scan(record("###WARNING###   Index IX_A is missing  ")),
            (Entries{{kInfoWarning, "Index IX_A is missing"}}));
  EXPECT_EQ(scan(record("[FreeTDS][SQL Server]###ERROR###Table T failed", 12, 340)),
            (Entries{{kInfoError, "Table T failed"}}));
  // The tag's trailing 'n' characters go with it; unmarked records give nothing.
  EXPECT_EQ(scan("01/02/03 04:05:06 x Message:[###ADVICE### run it] [RecNum:3, LineNum:9]nn\n" +
                 record("Changed database context to 'master'.")),
            (Entries{{kInfoAdvice, "run it"}}));
}

TEST(LogScanner, RecordsAreSplitAtTimeStampsAndTextBeforeTheFirstIsARecord) {
  const std::string content = "###DESCRIPTION### Adds indexes\n" + record("###ERROR### first") +
                              record("plain message") + record("###WARNING### second");
  EXPECT_EQ(scan(content),
            (Entries{{kInfoDescription, "Adds indexes"}, {kInfoError, "first"}, {kInfoWarning, "second"}}));
  // A file without time stamps is one record.
  EXPECT_EQ(scan("###ERROR### a\n###WARNING### b\n"), (Entries{{kInfoError, "a"}, {kInfoWarning, "b"}}));
  // A stamp counts only at the start of a line.
  EXPECT_EQ(scan("###ERROR### at 12/07/26 10:15:00 still one"),
            (Entries{{kInfoError, "at 12/07/26 10:15:00 still one"}}));
}

TEST(LogScanner, MarkerTextsEndAtTheFirstMarkerInTableOrderOrAtTheTag) {
  // DATA is nearer, but WARNING comes first in the table: DATA stays inside the error's text.
  EXPECT_EQ(scan("###ERROR### e ###DATA### d ###WARNING### w"),
            (Entries{{kInfoError, "e ###DATA### d"}, {kInfoWarning, "w"}}));
  EXPECT_EQ(scan("###DATA### 1 ###DATA### 2"), (Entries{{kInfoData, "1"}, {kInfoData, "2"}}));
  // The search starts with ERROR wherever it is; the WARNING before it is never looked at.
  EXPECT_EQ(scan("###WARNING### w ###ERROR### e ###ADVICE### a"),
            (Entries{{kInfoError, "e"}, {kInfoAdvice, "a"}}));
  // A tag before the next marker ends the record; a marker before the tag still splits.
  EXPECT_EQ(scan("###ERROR### e] [RecNum:1, LineNum:2] then ###ADVICE### a"),
            (Entries{{kInfoError, "e then ###ADVICE### a"}}));
  EXPECT_EQ(scan("###ERROR### e ###ADVICE### a] [RecNum:1, LineNum:2]"),
            (Entries{{kInfoError, "e"}, {kInfoAdvice, "a"}}));
}

TEST(LogScanner, HeadersKeepOneLineAndOddContentDoesNotBreakTheScan) {
  EXPECT_EQ(scan(record("###HEADER###  Name:,:Size\r\nsecond line")),
            (Entries{{kInfoHeader, "Name:,:Size"}}));
  EXPECT_EQ(scan(record("###WARNING###  \t ")), (Entries{{kInfoWarning, ""}}));
  EXPECT_EQ(scan("text ###ERROR###"), (Entries{{kInfoError, ""}}));
  EXPECT_EQ(scan(std::string("###ERROR### a\0b", 15)), (Entries{{kInfoError, std::string("a\0b", 3)}}));
  EXPECT_EQ(scan(std::string("\0\0\0", 3) + record("###ERROR### after NULs")),
            (Entries{{kInfoError, "after NULs"}}));
  EXPECT_TRUE(scan("").empty());
  EXPECT_TRUE(scan("no markers here\n12/07/26 10:15:00 none either").empty());
}

TEST(LogScanner, MegabytesInOneRecordAreScannedInOnePass) {
  // 60,000 markers in one 6 MB record: a rescan of the record per entry would not finish.
  std::string content;
  for (int i = 0; i < 60000; ++i) content += "###DATA### " + std::to_string(i) + std::string(90, 'f');
  std::vector<LOGINFO> found;
  scanScriptOutput(content, found);
  ASSERT_EQ(found.size(), 60000u);
  EXPECT_EQ(found[59999].message, "59999" + std::string(90, 'f'));
}

// File access through the utility-logger entry points; failures go to the utility log.
class LogScannerFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = UtilityLogger::GetLogFileName();
    UtilityLogger::SetLogFileName(dir_.file("Utility.log").c_str());
  }
  void TearDown() override { UtilityLogger::SetLogFileName(saved_.c_str()); }
  std::string utilityLog() const { return ztest::readFile(dir_.file("Utility.log")); }

  ztest::TempDir dir_;

 private:
  std::string saved_;
};

TEST_F(LogScannerFileTest, GetFileContentAppendsReadsReadOnlyFilesAndReportsFailures) {
  const std::string big(200000, 'b');
  const std::string path = dir_.write("out.txt", std::string("x\0y", 3) + big);
  chmod(path.c_str(), 0444);
  std::string content = "kept:";
  EXPECT_TRUE(UtilityLogger::GetFileContent(path, content));
  EXPECT_EQ(content, "kept:" + std::string("x\0y", 3) + big);
  std::string nothing;
  EXPECT_FALSE(UtilityLogger::GetFileContent(dir_.write("empty.txt", ""), nothing));
  EXPECT_EQ(utilityLog(), "");

  EXPECT_FALSE(UtilityLogger::GetFileContent(dir_.file("missing %s.txt"), content));
  EXPECT_FALSE(UtilityLogger::GetFileContent(dir_.path(), content));
  const std::string log = utilityLog();
  EXPECT_NE(log.find("\tFailed to open the file [" + dir_.file("missing %s.txt") + "].\n"),
            std::string::npos);
  EXPECT_NE(log.find("\tFailed to open the file [" + dir_.path() + "].\n"), std::string::npos);
}

TEST_F(LogScannerFileTest, GetErrorListSAppendsAndReportsWhetherThereWasContent) {
  std::vector<LOGINFO> entries(1);
  entries[0].type = 9;
  EXPECT_TRUE(UtilityLogger::GetErrorListS(dir_.write("a.txt", record("###ERROR### boom")), entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].type, 9);
  EXPECT_EQ(entries[1].type, kInfoError);
  EXPECT_EQ(entries[1].message, "boom");

  EXPECT_TRUE(UtilityLogger::GetErrorListS(dir_.write("b.txt", record("no marker")), entries));
  EXPECT_FALSE(UtilityLogger::GetErrorListS(dir_.write("c.txt", ""), entries));
  EXPECT_FALSE(UtilityLogger::GetErrorListS(dir_.file("missing.txt"), entries));
  EXPECT_EQ(entries.size(), 2u);
}

TEST(SplitRK, KeepsEmptyPiecesAndTheLastPiece) {
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(UtilityLogger::splitRK("a:,:b:,:c", ":,:"), (Pieces{"a", "b", "c"}));
  EXPECT_EQ(UtilityLogger::splitRK("a:,::,:c", ":,:"), (Pieces{"a", "", "c"}));
  EXPECT_EQ(UtilityLogger::splitRK("a:,:", ":,:"), (Pieces{"a", ""}));
  EXPECT_EQ(UtilityLogger::splitRK(":,:", ":,:"), (Pieces{"", ""}));
  EXPECT_EQ(UtilityLogger::splitRK("plain", ":,:"), (Pieces{"plain"}));
  EXPECT_EQ(UtilityLogger::splitRK("", ":,:"), (Pieces{""}));
  EXPECT_EQ(UtilityLogger::splitRK("a:,b", ":,:"), (Pieces{"a:,b"}));
  EXPECT_EQ(UtilityLogger::splitRK("a::b", ""), (Pieces{"a::b"}));
}

}  // namespace
}  // namespace zarezodud
