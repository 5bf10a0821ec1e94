#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/result_messages.h"
#include "log/log_scanner.h"
#include "log/utility_logger.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

using Cells = std::vector<std::pair<std::string, std::string>>;

std::string record(const std::string& message, int recNum = 1) {
  return "12/07/26 10:15:00 SQLState:[01000] NativeError:[50000] Message:[[FreeTDS][SQL Server]" + message +
         "] [RecNum:" + std::to_string(recNum) + ", LineNum:7]\n";
}

Cells cellsOf(const RKZARezodud::DataGroup& row) {
  Cells out;
  const auto cells = row.cells();
  for (size_t i = 0; i < cells.size(); ++i) out.emplace_back(cells.at(i).getName(), cells.at(i).getValue());
  return out;
}

class ScriptResultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = UtilityLogger::GetLogFileName();
    UtilityLogger::SetLogFileName(dir_.file("Utility.log").c_str());
  }
  void TearDown() override { UtilityLogger::SetLogFileName(saved_.c_str()); }

  // Scans content written to a script output file into a fresh result record.
  RKZARezodud::Script scanFile(const std::string& content) {
    RKZARezodud::Script script;
    UtilityLogger::GetXMLMsgFromFile(dir_.write("tempOutputFile.txt", content), script);
    return script;
  }

  ztest::TempDir dir_;

 private:
  std::string saved_;
};

TEST_F(ScriptResultTest, HeaderNamesCellsAndExtraValuesKeepTheLastName) {
  const auto script = scanFile(record("###ERROR### Rows left over") + record("###HEADER### Name:,:Size") +
                               record("###DATA### T1:,:10:,:extra"));
  ASSERT_EQ(script.errors().size(), 1u);
  const auto& error = script.errors().at(0);
  EXPECT_EQ(error.getSeverity(), 2);
  EXPECT_EQ(error.getMessage(), "Rows left over");
  ASSERT_EQ(error.rows().size(), 1u);
  EXPECT_EQ(cellsOf(error.rows().at(0)), (Cells{{"Name", "T1"}, {"Size", "10"}, {"Size", "extra"}}));
}

TEST_F(ScriptResultTest, AdviceAndRowsBelongToThePrecedingMessage) {
  const auto script =
      scanFile(record("###ERROR### first") + record("###ADVICE### fix the first") +
               record("###HEADER### A:,:B") + record("###DATA### 1:,:2") + record("###DATA### 3:,:4") +
               record("###ERROR### second") + record("###DATA### 5") + record("###WARNING### last"));
  ASSERT_EQ(script.errors().size(), 3u);
  const auto& first = script.errors().at(0);
  EXPECT_EQ(first.getMessage(), "first");
  EXPECT_EQ(first.getAdvice(), "fix the first");
  ASSERT_EQ(first.rows().size(), 2u);
  EXPECT_EQ(cellsOf(first.rows().at(0)), (Cells{{"A", "1"}, {"B", "2"}}));
  EXPECT_EQ(cellsOf(first.rows().at(1)), (Cells{{"A", "3"}, {"B", "4"}}));

  // The second message starts without the first one's advice and rows; the header still holds.
  const auto& second = script.errors().at(1);
  EXPECT_EQ(second.getSeverity(), 2);
  EXPECT_EQ(second.getAdvice(), "");
  ASSERT_EQ(second.rows().size(), 1u);
  EXPECT_EQ(cellsOf(second.rows().at(0)), (Cells{{"A", "5"}}));

  const auto& last = script.errors().at(2);
  EXPECT_EQ(last.getSeverity(), 1);
  EXPECT_EQ(last.getMessage(), "last");
  EXPECT_TRUE(last.rows().empty());
}

TEST_F(ScriptResultTest, AdviceAndRowsBeforeTheFirstMessageGoToIt) {
  const auto script = scanFile(record("###ADVICE### early advice") + record("###DATA### x") +
                               record("###WARNING### the warning") + record("###ERROR### the error"));
  ASSERT_EQ(script.errors().size(), 2u);
  EXPECT_EQ(script.errors().at(0).getAdvice(), "early advice");
  ASSERT_EQ(script.errors().at(0).rows().size(), 1u);
  // No header yet: the cell has an empty name.
  EXPECT_EQ(cellsOf(script.errors().at(0).rows().at(0)), (Cells{{"", "x"}}));
  EXPECT_EQ(script.errors().at(1).getSeverity(), 2);
  EXPECT_TRUE(script.errors().at(1).rows().empty());
}

TEST_F(ScriptResultTest, WithoutMessagesAdviceAndRowsAreDroppedAndEmptyFilesChangeNothing) {
  RKZARezodud::Script script;
  script.setName("upgrade");
  script.setDescription("upgrade");
  script.setReturnCode(3);
  UtilityLogger::GetXMLMsgFromFile(dir_.write("empty.txt", ""), script);
  UtilityLogger::GetXMLMsgFromFile(dir_.file("missing.txt"), script);
  EXPECT_EQ(script.getName(), "upgrade");
  EXPECT_EQ(script.getDescription(), "upgrade");
  EXPECT_EQ(script.getReturnCode(), 3);

  UtilityLogger::GetXMLMsgFromFile(
      dir_.write("out.txt", record("###ADVICE### unread") + record("###DATA### 1") +
                                record("###DESCRIPTION### Adds %s tables")),
      script);
  EXPECT_TRUE(script.errors().empty());
  EXPECT_EQ(script.getDescription(), "Adds %s tables");
  EXPECT_EQ(script.getReturnCode(), 3);
}

}  // namespace
}  // namespace zarezodud
