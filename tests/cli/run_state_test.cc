// The command's items in the run journal's header, the identity a resume compares, the atomic
// report writing; and the progress line and event recorder.
#include "run_state.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "log/result_messages.h"
#include "engine/run_journal.h"
#include "support/json_document.h"
#include "progress_display.h"
#include "script_events.h"
#include "state_directory.h"
#include "support/temp_dir.h"

namespace {

using zcli::RunSettings;

TEST(RunStateTest, SettingsRoundTripThroughTheJournalHeader) {
  ztest::TempDir dir;
  RunSettings settings;
  settings.overrides = {"DBname=Main", "logfile=/tmp/a \"b\"\t.log", "x=line\nbreak"};
  settings.reportFile = "/var/zz/report.json";
  settings.backend = "record:/tmp/journal";
  RunJournalIdentity identity;
  identity.product = "Corehub";
  identity.database = "Main";
  identity.phase = "UpgradeDB";
  RunJournal journal;
  std::string error;
  ASSERT_TRUE(journal.start(dir.file("db.journal"), identity, settings.toHostData(), error)) << error;
  RunJournalReplay replay;
  ASSERT_TRUE(RunJournal::read(dir.file("db.journal"), replay, error)) << error;
  const RunSettings back = RunSettings::fromReplay(replay);
  EXPECT_EQ(back.overrides, settings.overrides);
  EXPECT_EQ(back.reportFile, settings.reportFile);
  EXPECT_EQ(back.backend, settings.backend);
  EXPECT_EQ(replay.identity.phase, "UpgradeDB");
  // A header without the command's items (another host's journal) reads as the defaults.
  EXPECT_EQ(RunSettings::fromReplay(RunJournalReplay()).backend, "odbc");
}

TEST(RunStateTest, IdentityNamesTheFirstDifferenceAndSkipsWhatIsNotKnownYet) {
  RunJournalIdentity stored;
  stored.product = "Corehub";
  stored.server = "SQL Server";
  stored.instance = "db1,1433";
  stored.database = "Main";
  stored.configFile = "/c/phases.ini";
  stored.phase = "UpgradeDB";
  RunJournalIdentity now = stored;
  EXPECT_EQ(now.differenceFrom(stored), "");
  now.database = "Other";
  EXPECT_EQ(now.differenceFrom(stored), "DBname: [Main] now [Other]");
  now = stored;
  now.instance.clear();  // before the connection says which instance it reached
  EXPECT_EQ(now.differenceFrom(stored), "");
  now.instance = "db2,1433";
  EXPECT_EQ(now.differenceFrom(stored), "SQLInstance: [db1,1433] now [db2,1433]");
  now = stored;
  now.phase = "PreUpgrade";
  EXPECT_EQ(now.differenceFrom(stored), "phase: [UpgradeDB] now [PreUpgrade]");
}

TEST(StateDirectoryTest, DefaultsByUserAndIsCreatedPrivate) {
  EXPECT_EQ(zcli::defaultStateDirectory(0, "/x/state", "/root"), "/var/lib/zarezodud");
  EXPECT_EQ(zcli::defaultStateDirectory(1000, "/x/state", "/home/u"), "/x/state/zarezodud");
  EXPECT_EQ(zcli::defaultStateDirectory(1000, "relative", "/home/u"), "/home/u/.local/state/zarezodud");
  EXPECT_EQ(zcli::defaultStateDirectory(1000, nullptr, "/home/u"), "/home/u/.local/state/zarezodud");
  EXPECT_EQ(zcli::defaultStateDirectory(1000, "", nullptr), "");

  ztest::TempDir dir;
  std::string error;
  const std::string nested = dir.file("home/.local/state/zarezodud");
  ASSERT_TRUE(zcli::prepareStateDirectory(nested, error)) << error;
  struct stat info;
  for (const std::string& made : {dir.file("home"), dir.file("home/.local"), nested}) {
    ASSERT_EQ(::stat(made.c_str(), &info), 0) << made;
    EXPECT_EQ(info.st_mode & 0777, 0700u) << made;
  }
  ASSERT_TRUE(zcli::prepareStateDirectory(nested, error)) << "an existing one is fine: " << error;
  ::chmod(nested.c_str(), 0777);
  EXPECT_FALSE(zcli::prepareStateDirectory(nested, error));
  EXPECT_NE(error.find("cannot be trusted"), std::string::npos) << error;
  EXPECT_FALSE(zcli::prepareStateDirectory("", error));
  EXPECT_NE(error.find("--state-dir"), std::string::npos) << error;
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
  recorder.onScriptDoneEarlier("Sub", "b.lst", "/d/4.sql", 101);
  EXPECT_EQ(recorder.ranCount(), 2);
  EXPECT_EQ(recorder.skippedCount(), 1);
  EXPECT_EQ(recorder.failedCount(), 1);
  EXPECT_EQ(recorder.earlierCount(), 1);
  zcli::JsonWriter json;
  json.beginObject();
  recorder.writeJson(json);
  json.endObject();
  zcli::JsonValue root;
  std::string error;
  ASSERT_TRUE(zcli::parseJson(json.str(), root, error)) << error;
  const zcli::JsonValue& earlier = root.find("lists")->items.back().find("scripts")->items.back();
  EXPECT_EQ(earlier.stringOr("action", ""), "skip");
  EXPECT_EQ(earlier.stringOr("reason", ""), "finished in an earlier run");
  EXPECT_EQ(earlier.intOr("code", -1), 101);
  EXPECT_EQ(root.find("totals")->intOr("earlier", -1), 1);
  EXPECT_EQ(root.find("totals")->intOr("skipped", -1), 1);
  const std::string text = recorder.text();
  EXPECT_NE(text.find("skip /d/2.sql (not modified for this SP)"), std::string::npos) << text;
  EXPECT_LT(text.find("phase Top"), text.find("phase Sub"));
}

}  // namespace
