// The state file: round trip, identity comparison, atomic replacement; and the progress line.
#include "run_state.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/result_messages.h"
#include "progress_display.h"
#include "script_events.h"
#include "support/temp_dir.h"

namespace {

using zcli::RunIdentity;
using zcli::RunState;

RunState sampleState() {
  RunState state;
  state.status = "running";
  state.paramsFile = "/etc/zz/params.ini";
  state.overrides = {"DBname=Main", "logfile=/tmp/a \"b\".log"};
  state.reportFile = "/var/zz/report.json";
  state.backend = "record:/tmp/journal";
  state.identity = RunIdentity{"Corehub", "Main", "SQL Server", "/etc/zz/phases.ini", "UpgradeDB"};
  RKZARezodud::ProcessPhase record;
  record.setPhaseName("UpgradeDB");
  record.setStage(2);
  record.getSubModule(true)->setCurrentScript("a<&>'\".sql");
  state.positionXml = record.serialize();
  state.currentScript = "/x/y.sql";
  state.currentScriptSha256 = std::string(64, 'a');
  state.scriptRunning = true;
  state.scriptsDone = 41;
  state.scriptsTotal = 1000;
  return state;
}

TEST(RunStateTest, RoundTripsThroughJsonIncludingThePositionRecord) {
  const RunState state = sampleState();
  RunState back;
  std::string error;
  ASSERT_TRUE(zcli::runStateFromJson(zcli::runStateToJson(state), back, error)) << error;
  EXPECT_EQ(back.status, "running");
  EXPECT_EQ(back.overrides, state.overrides);
  EXPECT_EQ(back.identity, state.identity);
  EXPECT_EQ(back.backend, state.backend);
  EXPECT_EQ(back.currentScriptSha256, state.currentScriptSha256);
  EXPECT_TRUE(back.scriptRunning);
  EXPECT_EQ(back.scriptsDone, 41);
  RKZARezodud::ProcessPhase record;
  ASSERT_TRUE(record.unserialize(back.positionXml, &error)) << error;
  EXPECT_EQ(record.getStage(), 2);
  ASSERT_NE(record.getSubModule(), nullptr);
  EXPECT_EQ(record.getSubModule()->getCurrentScript(), "a<&>'\".sql");
}

TEST(RunStateTest, RejectsForeignAndIncompleteFiles) {
  RunState state;
  std::string error;
  EXPECT_FALSE(zcli::runStateFromJson("{\"version\": 2, \"identity\": {}}", state, error));
  EXPECT_FALSE(zcli::runStateFromJson("{\"version\": 1, \"paramsFile\": \"p\"}", state, error));
  EXPECT_NE(error.find("incomplete"), std::string::npos);
  EXPECT_FALSE(zcli::runStateFromJson("{\"version\": 1,", state, error));
}

TEST(RunStateTest, IdentityNamesTheFirstDifference) {
  const RunIdentity stored{"Corehub", "Main", "SQL Server", "/c/phases.ini", "UpgradeDB"};
  RunIdentity now = stored;
  EXPECT_EQ(now, stored);
  EXPECT_EQ(now.differenceFrom(stored), "");
  now.database = "Other";
  EXPECT_NE(now, stored);
  EXPECT_EQ(now.differenceFrom(stored), "DBname: [Main] now [Other]");
  now = stored;
  now.phase = "PreUpgrade";
  EXPECT_EQ(now.differenceFrom(stored), "phase: [UpgradeDB] now [PreUpgrade]");
}

TEST(RunStateTest, WriteReplacesTheFileAndLeavesNoTemporaryFiles) {
  ztest::TempDir dir;
  const std::string path = dir.file("db.state.json");
  RunState state = sampleState();
  std::string error;
  ASSERT_TRUE(zcli::writeRunState(path, state, error)) << error;
  state.scriptsDone = 42;
  ASSERT_TRUE(zcli::writeRunState(path, state, error)) << error;
  RunState back;
  ASSERT_TRUE(zcli::readRunState(path, back, error)) << error;
  EXPECT_EQ(back.scriptsDone, 42);
  EXPECT_GT(back.updatedAt, 0);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
  EXPECT_FALSE(zcli::writeRunState(dir.file("no/such/dir/state.json"), state, error));
  EXPECT_FALSE(zcli::readRunState(dir.file("absent.json"), back, error));
  EXPECT_NE(error.find("absent.json"), std::string::npos);
}

TEST(ProgressDisplayTest, BarShowsPercentCountsNameAndElapsedTime) {
  const std::string line = zcli::ProgressDisplay::barLine(250, 1000, "0042_script.sql", 3725);
  EXPECT_NE(line.find("[#######......................."), std::string::npos) << line;
  EXPECT_NE(line.find(" 25%"), std::string::npos);
  EXPECT_NE(line.find("250/1000"), std::string::npos);
  EXPECT_NE(line.find("0042_script.sql"), std::string::npos);
  EXPECT_NE(line.find("01:02:05"), std::string::npos);
  // An unknown total and a count beyond the total stay in range.
  EXPECT_NE(zcli::ProgressDisplay::barLine(3, 0, "a", 0).find("  0%"), std::string::npos);
  EXPECT_NE(zcli::ProgressDisplay::barLine(12, 10, "a", 0).find("100%"), std::string::npos);
  const std::string longName = zcli::ProgressDisplay::barLine(1, 2, std::string(80, 'n') + "END", 0);
  EXPECT_NE(longName.find("...nnn"), std::string::npos);
  EXPECT_NE(longName.find("END"), std::string::npos);
}

TEST(ScriptEventRecorderTest, GroupsScriptsByPhaseAndListInOrder) {
  zcli::ScriptEventRecorder recorder;
  RKZARezodud::ProcessPhase record;
  record.setPhaseName("Top");
  record.setStage(1);
  record.setCurrentListFile("empty.lst");
  recorder.onPositionChanged(record);
  recorder.onScriptStart("Top", "a.lst", "/d/1.sql");
  recorder.onScriptEnd("Top", "a.lst", "/d/1.sql", 101, true, 0.5);
  recorder.onScriptSkipped("Sub", "b.lst", "/d/2.sql", "not modified for this SP");
  recorder.onScriptStart("Sub", "b.lst", "/d/3.sql");
  recorder.onScriptEnd("Sub", "b.lst", "/d/3.sql", 2, false, 1.0);
  ASSERT_EQ(recorder.lists().size(), 3u);
  EXPECT_EQ(recorder.lists()[0].list, "empty.lst");
  EXPECT_TRUE(recorder.lists()[0].scripts.empty());
  EXPECT_EQ(recorder.lists()[2].scripts.size(), 2u);
  EXPECT_EQ(recorder.phases(), (std::vector<std::string>{"Top", "Sub"}));
  EXPECT_EQ(recorder.ranCount(), 2);
  EXPECT_EQ(recorder.skippedCount(), 1);
  EXPECT_EQ(recorder.failedCount(), 1);
  const std::string text = recorder.text();
  EXPECT_NE(text.find("skip /d/2.sql (not modified for this SP)"), std::string::npos) << text;
  EXPECT_LT(text.find("phase Top"), text.find("phase Sub"));
}

}  // namespace
