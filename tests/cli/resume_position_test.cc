// Moving a position record past a completed script: within a list, to the next list, into
// the sub-modules, between sub-modules, into the post-command stage, and the cases left alone.
#include "resume_position.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/ini_file_processor.h"
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

  RKZARezodud::ProcessPhase at(const std::string& phase, int stage, const std::string& list,
                               const std::string& script) {
    RKZARezodud::ProcessPhase record;
    record.setPhaseName(phase);
    record.setStage(stage);
    record.setCurrentListFile(list);
    record.setCurrentScript(script);
    record.setResumeFlag(1);
    return record;
  }

  ztest::CliInstallation inst;
  std::unique_ptr<INIFileProcessor> processor;
};

TEST_F(ResumePositionTest, MovesToTheNextScriptOrTheNextUsableList) {
  auto record = at("Top", 1, "a.lst", "a1.sql");
  ASSERT_TRUE(zcli::advancePastCompletedScript(*processor, record, false));
  EXPECT_EQ(record.getCurrentListFile(), "a.lst");
  EXPECT_EQ(record.getCurrentScript(), "a2.sql");

  // The drop list is passed over in a normal upgrade, and entered in a repair.
  record = at("Top", 1, "a.lst", "a2.sql");
  ASSERT_TRUE(zcli::advancePastCompletedScript(*processor, record, false));
  EXPECT_EQ(record.getCurrentListFile(), "b.lst");
  EXPECT_EQ(record.getCurrentScript(), "");
  record = at("Top", 1, "a.lst", "a2.sql");
  ASSERT_TRUE(zcli::advancePastCompletedScript(*processor, record, true));
  EXPECT_EQ(record.getCurrentListFile(), "DropDBFunctions.lst");
}

TEST_F(ResumePositionTest, CrossesIntoAndBetweenSubModulesAndOnToThePostStage) {
  auto record = at("Top", 1, "b.lst", "b1.sql");
  ASSERT_TRUE(zcli::advancePastCompletedScript(*processor, record, false));
  EXPECT_EQ(record.getStage(), 2);
  ASSERT_NE(record.getSubModule(), nullptr);
  EXPECT_EQ(record.getSubModule()->getPhaseName(), "S1");
  EXPECT_EQ(record.getSubModule()->getCurrentListFile(), "");
  EXPECT_EQ(record.getResumeFlag(), 1);

  // The end of S1's pre-command stage leads to S1's post-command stage.
  record = at("Top", 2, "", "");
  *record.getSubModule(true) = at("S1", 1, "s1.lst", "c1.sql");
  ASSERT_TRUE(zcli::advancePastCompletedScript(*processor, record, false));
  EXPECT_EQ(record.getSubModule()->getPhaseName(), "S1");
  EXPECT_EQ(record.getSubModule()->getStage(), 3);

  // The end of S1 leads to S2, found by its first list that the engine runs.
  record = at("Top", 2, "", "");
  *record.getSubModule(true) = at("S1", 3, "s1post.lst", "e1.sql");
  ASSERT_TRUE(zcli::advancePastCompletedScript(*processor, record, false));
  EXPECT_EQ(record.getSubModule()->getPhaseName(), "S2");
  EXPECT_EQ(record.getSubModule()->getStage(), 1);
  EXPECT_EQ(record.getSubModule()->getCurrentListFile(), "s2.lst");
  EXPECT_EQ(record.getSubModule()->getCurrentScript(), "");

  record = at("Top", 2, "", "");
  *record.getSubModule(true) = at("S2", 1, "s2.lst", "d1.sql");
  // The last list of S2's pre-command stage is done: S2 goes on with its (empty) post stage.
  ASSERT_TRUE(zcli::advancePastCompletedScript(*processor, record, false));
  EXPECT_EQ(record.getStage(), 2);
  ASSERT_NE(record.getSubModule(), nullptr);
  EXPECT_EQ(record.getSubModule()->getStage(), 3);
  EXPECT_EQ(record.getSubModule()->getCurrentScript(), "");
}

TEST_F(ResumePositionTest, LeavesUnknownPositionsUnchanged) {
  const std::vector<RKZARezodud::ProcessPhase> cases = {
      at("Top", 3, "p.lst", "p1.sql"),     // the phase ends there
      at("Top", 1, "gone.lst", "a1.sql"),  // list no longer named
      at("Top", 1, "a.lst", "gone.sql"),   // script no longer listed
      at("Batch", 1, "a.lst", "a1.sql"),   // not an SQL list
      at("Top", 0, "", ""),                // nothing reached yet
  };
  for (const auto& original : cases) {
    auto record = original;
    EXPECT_FALSE(zcli::advancePastCompletedScript(*processor, record, false))
        << original.getCurrentListFile();
    EXPECT_EQ(record.serialize(), original.serialize());
  }
}

}  // namespace
