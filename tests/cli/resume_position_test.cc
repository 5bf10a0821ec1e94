// What a resume checks in a journal against the phase as configured now: recorded positions the
// phase no longer has (removed list or entry, a list set of another release, drop lists of a
// non-repair run), and scripts to run again whose file changed; and how positions are named.
#include "resume_position.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/ini_file_processor.h"
#include "engine/run_journal.h"
#include "platform/crypto/sha256.h"
#include "support/cli_installation.h"
#include "support/log_capture.h"

namespace {

class ResumePositionTest : public ::testing::Test {
 protected:
  ResumePositionTest() : inst("/bin/false") {
    ztest::UpgradeLogCapture startLog;  // initialises the upgrade log in a private directory
    inst.addList("top", "a.lst", {"a1.sql", "a2.sql"});
    inst.write("top/empty.lst", "# nothing\n");
    inst.addList("top", "DropDBFunctions.lst", {"drop.sql"});
    inst.addList("top", "b.lst", {"b1.sql"});
    inst.addList("top", "p.lst", {"p1.sql"});
    inst.addList("s1", "s1.lst", {"c1.sql"});
    inst.addList("s1", "s1post.lst", {"e1.sql"});
    inst.addList("s2", "s2.lst", {"d1.sql"});
    inst.addPhase(
        "[Top]\nDirectory = top\nPreCommandType = SQL\n"
        "PreCommand-CurRelListFileName = a.lst, DropDBFunctions.lst, b.lst\nSubModuleSections = S1, S2\n"
        "PostCommandType = SQL\nPostCommand-CurRelListFileName = p.lst\n"
        "[S1]\nDirectory = s1\nPreCommandType = SQL\nPreCommand-CurRelListFileName = s1.lst\n"
        "PostCommandType = SQL\nPostCommand-CurRelListFileName = s1post.lst\n"
        "[S2]\nDirectory = s2\nPreCommandType = SQL\nPreCommand-CurRelListFileName = DropDBFunctions.lst, "
        "s2.lst\n"
        "[Batch]\nDirectory = top\nPreCommandType = BATCH\nPreCommand-CurRelListFileName = a.lst\n");
    ZARezodudParams params;
    params.setConfigFile(inst.path("phases.ini"));
    params.setLogfile(ztest::UpgradeLogCapture::logPath());
    params.setCurrentReleaseId(16);
    processor = std::make_unique<INIFileProcessor>(params, 0);
  }

  // A position of the fixture's tree.
  static ScriptPosition pos(std::vector<ScriptPosition::SubModule> subs, int stage, const std::string& list,
                            const std::string& entry, int entryOccurrence = 1) {
    ScriptPosition p;
    p.phase = "Top";
    p.subModules = std::move(subs);
    p.stage = stage;
    p.list = list;
    p.entry = entry;
    p.entryOccurrence = entryOccurrence;
    return p;
  }
  std::vector<ScriptPosition> missing(const std::vector<ScriptPosition>& recorded) {
    RunJournalReplay replay;
    for (const ScriptPosition& p : recorded) {
      replay.scripts.emplace_back();
      replay.scripts.back().position = p;
    }
    std::vector<ScriptPosition> out;
    std::string error;
    EXPECT_TRUE(RunJournal::missingPositions(replay, *processor, "Top", out, error)) << error;
    return out;
  }

  ztest::CliInstallation inst;
  std::unique_ptr<INIFileProcessor> processor;
};

TEST_F(ResumePositionTest, PositionsThePhaseStillHasAreNotMissing) {
  const std::vector<ScriptPosition> present = {
      pos({}, 1, "a.lst", "a1.sql"),           pos({}, 1, "b.lst", "b1.sql"),
      pos({{"S1", 1}}, 1, "s1.lst", "c1.sql"), pos({{"S1", 1}}, 3, "s1post.lst", "e1.sql"),
      pos({{"S2", 1}}, 1, "s2.lst", "d1.sql"), pos({}, 3, "p.lst", "p1.sql")};
  EXPECT_TRUE(missing(present).empty());
}

TEST_F(ResumePositionTest, RemovedListsEntriesAndOccurrencesAreMissing) {
  const std::vector<ScriptPosition> gone = {
      pos({}, 1, "gone.lst", "a1.sql"),                // list no longer named
      pos({}, 1, "a.lst", "gone.sql"),                 // entry no longer listed
      pos({}, 1, "a.lst", "a1.sql", 2),                // the list names it once only
      pos({}, 3, "a.lst", "a1.sql"),                   // a pre-command list, not a post-command one
      pos({{"S3", 1}}, 1, "s1.lst", "c1.sql"),         // no such sub-module
      pos({{"S1", 2}}, 1, "s1.lst", "c1.sql"),         // S1 is named once
      pos({}, 1, "DropDBFunctions.lst", "drop.sql")};  // passed over unless repairing
  EXPECT_EQ(missing(gone), gone);
  EXPECT_TRUE(missing({pos({}, 1, "a.lst", "a2.sql")}).empty());

  inst.addList("s2", "DropDBFunctions.lst", {"drop2.sql"});
  ZARezodudParams repair = processor->getZARezodudParams();
  repair.setIsUpgradeRepair(true);
  processor->setZARezodudParams(repair);
  EXPECT_TRUE(missing({pos({}, 1, "DropDBFunctions.lst", "drop.sql")}).empty());
}

TEST_F(ResumePositionTest, APhaseThatCannotBeWalkedIsAnError) {
  RunJournalReplay replay;
  std::vector<ScriptPosition> out;
  std::string error;
  EXPECT_FALSE(RunJournal::missingPositions(replay, *processor, "Nowhere", out, error));
  EXPECT_NE(error.find("Phase [Nowhere] does not exist."), std::string::npos) << error;
  std::remove(inst.path("top/b.lst").c_str());
  EXPECT_FALSE(RunJournal::missingPositions(replay, *processor, "Top", out, error));
  EXPECT_NE(error.find("b.lst"), std::string::npos) << error;
}

TEST_F(ResumePositionTest, DescribesAtMostTheFirstFewPositions) {
  std::vector<ScriptPosition> positions;
  for (int i = 1; i <= 7; ++i) positions.push_back(pos({{"S1", 2}}, 1, "s1.lst", "k.sql", i));
  const std::string text = zcli::describePositions(positions, 2);
  EXPECT_EQ(text,
            "  Top > S1 (2nd) > stage 1 > list s1.lst > k.sql\n"
            "  Top > S1 (2nd) > stage 1 > list s1.lst > k.sql (2nd)\n"
            "  ... and 5 more\n");
}

TEST_F(ResumePositionTest, ChangedScriptsAreThoseToRunAgainWhoseBytesDiffer) {
  RunJournalReplay replay;
  auto add = [&](const std::string& file, bool succeeded) {
    JournalScript script;
    script.path = inst.path(file);
    std::string error;
    EXPECT_TRUE(zarezodud::sha256File(script.path, script.sha256, error)) << error;
    script.finished = true;
    script.result = succeeded ? JournalScriptResult::kSucceeded : JournalScriptResult::kFailed;
    replay.scripts.push_back(script);
  };
  add("top/a1.sql", false);
  add("top/a2.sql", true);
  add("top/b1.sql", false);
  EXPECT_TRUE(zcli::changedScripts(replay).empty());
  inst.write("top/a1.sql", "SELECT 2;\n");
  inst.write("top/a2.sql", "SELECT 2;\n");  // it will not run again: its change does not matter
  std::remove(inst.path("top/b1.sql").c_str());
  const auto changed = zcli::changedScripts(replay);
  ASSERT_EQ(changed.size(), 2u);
  EXPECT_EQ(changed[0].path, inst.path("top/a1.sql"));
  EXPECT_TRUE(changed[0].readable);
  EXPECT_EQ(changed[1].path, inst.path("top/b1.sql"));
  EXPECT_FALSE(changed[1].readable);
}

}  // namespace
