// The scripts a phase may run, as the lint walks them, and the processor's script settings
// reaching the scripts it runs.
#include "engine/phase_scripts.h"

#include <gtest/gtest.h>

#include "support/engine_harness.h"

namespace {

class PhaseScriptsTest : public ::testing::Test {
 protected:
  ztest::EngineHarness h_;
};

TEST_F(PhaseScriptsTest, EveryReleaseSubModuleAndPostListOnceInProcessingOrder) {
  h_.tree().addPhaseConfig(
      "[Main]\nDirectory = main\nPreCommandType = SQL\n"
      "PreCommand-PreLastRelListFileName = old.lst, common.lst\n"
      "PreCommand-LastRelListFileName = common.lst\n"
      "PreCommand-CurRelListFileName = cur.lst\n"
      "SubModuleSections = Sub, Tools\n"
      "PostCommandType = SQL\nPostCommand-CurRelListFileName = post.lst\n"
      "[Sub]\nDirectory = sub\nPreCommandType = sql\nPreCommand-CurRelListFileName = sub.lst\n"
      "SubModuleSections = Main\n"
      "[Tools]\nDirectory = tools\nPreCommandType = EXE\nPreCommand-CurRelListFileName = tools.lst\n");
  h_.tree().addList("main", "old.lst", {"a.sql", "shared.sql"});
  h_.tree().addList("main", "common.lst", {"shared.sql", "b.sql"});
  h_.tree().addList("main", "cur.lst", {"c.sql"});
  h_.tree().addList("main", "post.lst", {"z.sql"});
  h_.tree().addList("sub", "sub.lst", {"s.sql"});
  h_.tree().addList("tools", "tools.lst", {"run.exe"});
  auto processor = h_.processor();
  const int release = processor->getZARezodudParams().currentReleaseId();

  const zarezodud::PhaseScripts found = zarezodud::collectPhaseScripts(*processor, "Main");
  const std::string main = h_.phaseDir("main") + "/";
  EXPECT_EQ(found.scripts, (std::vector<std::string>{main + "a.sql", main + "shared.sql", main + "b.sql",
                                                      main + "c.sql", h_.phaseDir("sub") + "/s.sql",
                                                      main + "z.sql"}));
  ASSERT_EQ(found.problems.size(), 1u) << "the sub-module naming its parent is a cycle";
  EXPECT_NE(found.problems[0].message.find("Phase [Main] is part of a cycle: [Main -> Sub -> Main]."),
            std::string::npos)
      << found.problems[0].message;
  EXPECT_EQ(processor->getZARezodudParams().currentReleaseId(), release) << "parameters restored";
}

TEST_F(PhaseScriptsTest, MissingSectionsAndListsAreProblemsNamingTheFile) {
  h_.tree().addPhaseConfig(
      "[P]\nDirectory = p\nPreCommandType = SQL\nPreCommand-CurRelListFileName = gone.lst, here.lst\n"
      "SubModuleSections = Nowhere\n");
  h_.tree().addList("p", "here.lst", {"x.sql"});
  auto processor = h_.processor();
  const zarezodud::PhaseScripts found = zarezodud::collectPhaseScripts(*processor, "P");
  EXPECT_EQ(found.scripts, (std::vector<std::string>{h_.phaseDir("p") + "/x.sql"}));
  ASSERT_EQ(found.problems.size(), 2u);
  EXPECT_EQ(found.problems[0].file, h_.phaseDir("p") + "/gone.lst");
  EXPECT_EQ(found.problems[1].message, "Missing Phase [Nowhere].");
  EXPECT_EQ(zarezodud::collectPhaseScripts(*processor, "Absent").problems.at(0).message, "Missing Phase [Absent].");
}

TEST_F(PhaseScriptsTest, TheProcessorsSettingsReachItsDatabaseObject) {
  auto processor = h_.processor();
  zarezodud::ScriptSettings settings;
  settings.codePage = "ISO-8859-1";
  processor->setScriptSettings(settings);
  ASSERT_EQ(processor->initializeDBObject(), 1u);
  EXPECT_EQ(processor->getDBObject()->getScriptSettings().codePage, "ISO-8859-1");
  settings.sqlcmdMode = true;
  processor->setScriptSettings(settings);
  EXPECT_TRUE(processor->getDBObject()->getScriptSettings().sqlcmdMode) << "also once the object exists";
}

TEST_F(PhaseScriptsTest, AScriptWithAnInvalidGoLineIsAFailedScriptOfItsList) {
  h_.tree().addList("l", "l.lst", {"a.sql", "bad.sql", "c.sql"});
  h_.tree().write("config/l/bad.sql", "SELECT 1\nGO 0\n-- bad.sql\n");
  auto processor = h_.processor();
  RKZARezodud::ProcessPhase record;
  record.setPhaseName("L");
  int code = 0;
  // Terminate-on-error off: the list goes on after the failed script.
  EXPECT_EQ(processor->executeSQLList(h_.phaseDir("l"), "l.lst", code, 0, 0, "ON", record), 0u);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(h_.executed(), (std::vector<std::string>{"a.sql", "c.sql"})) << "nothing of bad.sql is sent";
  EXPECT_NE(h_.phaseLog().find("Script [" + h_.phaseDir("l") + "/bad.sql] line 2: [GO 0] is not a valid batch "
                               "separator."),
            std::string::npos)
      << h_.phaseLog();
  // Terminate-on-error on: the list stops there.
  h_.script().texts.clear();
  EXPECT_EQ(processor->executeSQLList(h_.phaseDir("l"), "l.lst", code, 1, 0, "ON", record), 0u);
  EXPECT_EQ(h_.executed(), (std::vector<std::string>{"a.sql"}));
}

}  // namespace
