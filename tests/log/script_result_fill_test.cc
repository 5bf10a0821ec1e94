// fillScriptResult builds records in place and lets their strings view the scan's text; the
// result must be the record that the plain rule gives, field for field (what the XML form
// shows: which fields are present, empty advice and empty row lists included).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "log/result_messages.h"
#include "log/log_scanner.h"
#include "log/utility_logger.h"

namespace zarezodud {
namespace {

// The rule spelled out with working records that are copied into the script.
void referenceFill(const std::vector<LOGINFO>& entries, RKZARezodud::Script& script) {
  RKZARezodud::Error error;
  RKZARezodud::ColumnData cell;
  RKZARezodud::DataGroup row;
  std::vector<std::string> headers;
  bool errorPending = false;
  for (const LOGINFO& entry : entries) {
    switch (entry.type) {
      case kInfoError:
      case kInfoWarning:
        if (errorPending) {
          script.errors().append(error);
          error.rows().clear();
          error.setAdvice(std::string());
        }
        error.setSeverity(entry.type == kInfoError ? 2 : 1);
        error.setMessage(entry.message);
        errorPending = true;
        break;
      case kInfoAdvice:
        error.setAdvice(entry.message);
        break;
      case kInfoHeader:
        headers = UtilityLogger::splitRK(entry.message, kCellSeparator);
        break;
      case kInfoData: {
        const std::vector<std::string> values = UtilityLogger::splitRK(entry.message, kCellSeparator);
        for (size_t i = 0; i < values.size(); ++i) {
          if (i < headers.size()) cell.setName(headers[i]);
          cell.setValue(values[i]);
          row.cells().append(cell);
        }
        error.rows().append(row);
        row.cells().clear();
        break;
      }
      case kInfoDescription:
        script.setDescription(entry.message);
        break;
      default:
        break;
    }
  }
  if (errorPending) script.errors().append(error);
}

std::vector<LOGINFO> randomEntries(std::mt19937& rng) {
  static const std::vector<std::string> texts = {
      "",
      "short",
      "a:,:b",
      "a:,::,:c",
      ":,:",
      "name:,:rows:,:a header name well past the inline size",
      "a value long enough to be viewed in the shared text rather than copied",
      "t1:,:42:,:",
  };
  std::vector<LOGINFO> entries;
  const int count = static_cast<int>(rng() % 30);
  for (int i = 0; i < count; ++i) {
    LOGINFO entry;
    entry.type = static_cast<int>(rng() % kInfoTypeCount);
    entry.message = texts[rng() % texts.size()];
    entries.push_back(entry);
  }
  return entries;
}

TEST(ScriptResultFill, BuildsTheRecordThePlainRuleGives) {
  std::mt19937 rng(20261209);
  for (int round = 0; round < 2000; ++round) {
    const std::vector<LOGINFO> entries = randomEntries(rng);
    RKZARezodud::Script expected;
    RKZARezodud::Script actual;
    // The fill adds to what the record already holds.
    for (RKZARezodud::Script* script : {&expected, &actual}) {
      script->setName("upgrade");
      if (round % 3 == 0) script->errors().append(RKZARezodud::Error())->setMessage("earlier");
    }
    referenceFill(entries, expected);
    fillScriptResult(entries, actual);
    ASSERT_EQ(actual.serialize(), expected.serialize()) << "round " << round;
  }
}

TEST(ScriptResultFill, RecordsOutliveTheScanThatMadeThem) {
  ScannedMessages found;
  scanScriptOutput(
      "###ERROR### a message long enough to be viewed rather than copied\n"
      "###HEADER### first column name:,:second column name\n"
      "###DATA### a value long enough to be viewed as well:,:v\n",
      found);
  RKZARezodud::Script script;
  fillScriptResult(std::move(found), script);
  found = ScannedMessages();  // the scan's own text is gone; the record keeps what it views
  RKZARezodud::Script copy(script);
  script = RKZARezodud::Script();
  ASSERT_EQ(copy.errors().size(), 1u);
  const RKZARezodud::Error& error = copy.errors().at(0);
  EXPECT_EQ(error.getMessage(), "a message long enough to be viewed rather than copied");
  ASSERT_EQ(error.rows().size(), 1u);
  const auto cells = error.rows().at(0).cells();
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells.at(0).getName(), "first column name");
  EXPECT_EQ(cells.at(0).getValue(), "a value long enough to be viewed as well");
  EXPECT_EQ(cells.at(1).getName(), "second column name");
  EXPECT_EQ(cells.at(1).getValue(), "v");
}

}  // namespace
}  // namespace zarezodud
