// Scanning a file block by block must find exactly what scanning its whole text finds, wherever
// the block boundaries fall: inside a time stamp, a marker, a record and line tag or a line end.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "log/log_scanner.h"
#include "log/utility_logger.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

using Entries = std::vector<std::pair<int, std::string>>;

Entries fromLogInfo(const std::vector<LOGINFO>& found) {
  Entries out;
  for (const LOGINFO& e : found) out.emplace_back(e.type, e.message);
  return out;
}

Entries fromFlat(const ScannedMessages& found) {
  Entries out;
  for (const ScannedMessages::Entry& e : found.entries)
    out.emplace_back(e.type, std::string(found.message(e)));
  return out;
}

Entries scanText(const std::string& text, MatchEngine engine) {
  std::vector<LOGINFO> found;
  scanScriptOutput(text, found, engine);
  return fromLogInfo(found);
}

// Pieces that nearly match a stamp, a marker or a tag, and the line separators of '^'.
const std::vector<std::string>& pieces() {
  static const std::vector<std::string> all = {
      "12/07/26 10:15:00 SQLState:[01000] NativeError:[0] Message:[",
      "12/07/26 10:15:00",
      "1/07/26 10:15:00",
      "12/07/26 10:15:0",
      "\n",
      "\r\n",
      "\r",
      "\f",
      " ",
      "text of a message, long enough to cross a small block",
      "#",
      "##",
      "]",
      "] [RecNum:1, LineNum:2]\n",
      "] [RecNum:1, LineNum:2]nn",
      "] [RecNum:12, LineNum:]",
      "###ERROR###",
      "###WARNING###",
      "###ADVICE###",
      "###HEADER### a:,:b\nsecond",
      "###DATA### 1:,:2",
      "###DESCRIPTION###",
      "###ERROR###WARNING###",
      std::string(1, '\0'),
      "\x85",
  };
  return all;
}

std::string randomText(std::mt19937& rng, int pieceCount) {
  std::string text;
  for (int i = 0; i < pieceCount; ++i) text += pieces()[rng() % pieces().size()];
  return text;
}

// Read failures go to the utility log, kept inside the test's directory.
class ScanFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = UtilityLogger::GetLogFileName();
    UtilityLogger::SetLogFileName(dir_.file("Utility.log").c_str());
  }
  void TearDown() override { UtilityLogger::SetLogFileName(saved_.c_str()); }

  ztest::TempDir dir_;

 private:
  std::string saved_;
};

TEST_F(ScanFileTest, BlocksFindWhatTheWholeTextFinds) {
  std::mt19937 rng(20261208);
  const std::string path = dir_.file("out.txt");
  for (int round = 0; round < 300; ++round) {
    const std::string text = randomText(rng, static_cast<int>(rng() % 120));
    dir_.write("out.txt", text);
    const Entries expected = scanText(text, MatchEngine::kFast);
    for (size_t blockSize : {size_t{1}, size_t{7}, size_t{17}, size_t{18}, size_t{64}, size_t{1000}}) {
      std::vector<LOGINFO> found;
      const FileScan result = scanScriptOutputFile(path, found, MatchEngine::kFast, blockSize);
      ASSERT_EQ(result, text.empty() ? FileScan::kEmpty : FileScan::kScanned);
      ASSERT_EQ(fromLogInfo(found), expected)
          << "block " << blockSize << ": " << testing::PrintToString(text);
      ScannedMessages flat;
      scanScriptOutputFile(path, flat, MatchEngine::kFast, blockSize);
      ASSERT_EQ(fromFlat(flat), expected) << "block " << blockSize << ": " << testing::PrintToString(text);
    }
    if (round % 10 == 0) {
      std::vector<LOGINFO> found;
      scanScriptOutputFile(path, found, MatchEngine::kRegex, 17);
      ASSERT_EQ(fromLogInfo(found), scanText(text, MatchEngine::kRegex)) << testing::PrintToString(text);
    }
  }
}

TEST_F(ScanFileTest, RecordsLongerThanABlockAndFilesWithoutStampsAreReadWhole) {
  // One record of 300 kB, then a short one: the block grows to hold the long record.
  const std::string longText(300000, 'x');
  const std::string content = "12/07/26 10:15:00 ###ERROR### " + longText +
                              "] [RecNum:1, LineNum:2]\n12/07/26 10:15:01 ###WARNING### w\n";
  const std::string path = dir_.write("long.txt", content);
  std::vector<LOGINFO> found;
  ASSERT_EQ(scanScriptOutputFile(path, found, MatchEngine::kFast, 4096), FileScan::kScanned);
  EXPECT_EQ(fromLogInfo(found), (Entries{{kInfoError, longText}, {kInfoWarning, "w"}}));

  // Without a stamp the whole file is one record, however many blocks it takes.
  std::string noStamps;
  for (int i = 0; i < 2000; ++i) noStamps += "###DATA### " + std::to_string(i) + "\n";
  found.clear();
  scanScriptOutputFile(dir_.write("nostamps.txt", noStamps), found, MatchEngine::kFast, 100);
  ASSERT_EQ(found.size(), 2000u);
  EXPECT_EQ(found[1999].message, "1999");
}

TEST_F(ScanFileTest, UnreadableFilesGiveNothing) {
  std::vector<LOGINFO> found;
  EXPECT_EQ(scanScriptOutputFile(dir_.file("missing.txt"), found), FileScan::kUnreadable);
  EXPECT_EQ(scanScriptOutputFile(dir_.path(), found), FileScan::kUnreadable);
  EXPECT_EQ(scanScriptOutputFile(dir_.write("empty.txt", ""), found), FileScan::kEmpty);
  EXPECT_TRUE(found.empty());
  EXPECT_NE(ztest::readFile(dir_.file("Utility.log"))
                .find("Failed to open the file [" + dir_.file("missing.txt") + "]."),
            std::string::npos);
}

}  // namespace
}  // namespace zarezodud
