// Phase validation: every failure it reports, recorded modification times, script counts,
// sub-module cycles and damaged list files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "engine/ini_file_processor.h"
#include "support/log_capture.h"
#include "support/phase_tree.h"

namespace {

class ValidationTest : public ::testing::Test {
 protected:
  unsigned int validate(const std::string& phase, int progress = 0) {
    processor = std::make_unique<INIFileProcessor>(tree.params(), progress);
    return processor->validatePhase(phase);
  }
  ztest::PhaseTree tree;
  ztest::UpgradeLogCapture log;
  std::unique_ptr<INIFileProcessor> processor;
};

TEST_F(ValidationTest, EmptyPhaseIsValidWhateverItsTypes) {
  tree.addPhaseConfig("[Empty]\nPreCommandType=NOPE\nPostCommandType=\n");
  EXPECT_EQ(validate("Empty"), 1u);
  EXPECT_TRUE(log.contains("Validating Phase [Empty]."));
}

TEST_F(ValidationTest, MissingConfigOrLogNameGoesToStdoutOnly) {
  ZARezodudParams p = tree.params();
  p.setLogfile("");
  INIFileProcessor proc(p, 0);
  ztest::StdoutCapture out;
  EXPECT_EQ(proc.validatePhase("X"), 0u);
  EXPECT_EQ(out.text(), "ConfigFile Name or LogFile Name is missing.\n");
  EXPECT_FALSE(log.contains("Validating Phase"));
}

TEST_F(ValidationTest, ConfigurationFailuresInOrder) {
  tree.addPhaseConfig(
      "[BadType]\nDirectory=d\nPreCommandType=PERL\nPreCommand-CurRelListFileName=a.lst\n"
      "[NoEnv]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelEnvINIFileName=env.ini\n"
      "[NoList]\nDirectory=d\nPostCommandType=sql\nPostCommand-CurRelListFileName=missing.lst\n");
  EXPECT_EQ(validate("Missing"), 0u);
  EXPECT_TRUE(log.contains("Missing Phase [Missing]."));
  EXPECT_EQ(validate("BadType"), 0u);
  EXPECT_TRUE(log.contains("Invalid Command Type [PERL] for Phase [BadType]. Supported Command Types are "
                           "[SQL | BATCH | EXE]."));
  EXPECT_EQ(validate("NoEnv"), 0u);
  EXPECT_TRUE(log.contains("Environment Config File [" + tree.path("config/d/env.ini") + "] does not exist."));
  EXPECT_EQ(validate("NoList"), 0u);
  EXPECT_TRUE(log.contains("List File [" + tree.path("config/d/missing.lst") + "] does not exist."));

  ZARezodudParams p = tree.params();
  p.setCurrentReleaseId(12);
  INIFileProcessor proc(p, 0);
  EXPECT_EQ(proc.validatePhase("BadType"), 0u);
  EXPECT_TRUE(log.contains("Non-Supported ReleaseId [12]."));
  EXPECT_TRUE(log.contains("Failed to Read Phase [BadType]."));
}

TEST_F(ValidationTest, BadLinesAreAllReportedThenTheListOnce) {
  tree.addPhaseConfig("[P]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n");
  tree.addList("d", "l.lst", {"good.sql", "Mixed.Sql"});
  tree.write("config/d/l.lst", "good.sql\nMixed.Sql\nwrong.bat\nnoext\nabsent.sql\n");
  tree.write("config/d/wrong.bat", "x");
  tree.write("config/d/noext", "x");
  EXPECT_EQ(validate("P"), 0u);
  const std::string list = tree.path("config/d/l.lst");
  EXPECT_TRUE(log.contains("Invalid filename extension [bat] for file [wrong.bat] in list file [" + list + "]."));
  EXPECT_TRUE(log.contains("Invalid filename extension [noext] for file [noext] in list file [" + list + "]."));
  EXPECT_TRUE(log.contains("Script File [" + tree.path("config/d/absent.sql") + "] does not exist."));
  EXPECT_FALSE(log.contains("[Mixed.Sql]"));
  EXPECT_EQ(log.count("One or more script files may not exist for list file [" + list + "]."), 1);
}

TEST_F(ValidationTest, BatchAndExeExtensionRules) {
  tree.addPhaseConfig(
      "[B]\nDirectory=b\nPreCommandType=Batch\nPreCommand-CurRelListFileName=l.lst\n"
      "[E]\nDirectory=e\nPreCommandType=exe\nPreCommand-CurRelListFileName=l.lst\n");
  tree.addList("b", "l.lst", {"run.BAT", "x.sql"});
  tree.addList("e", "l.lst", {"tool", "tool.sh", "x.sql"});
  EXPECT_EQ(validate("B"), 0u);
  EXPECT_TRUE(log.contains("Invalid filename extension [sql] for file [x.sql]"));
  EXPECT_EQ(validate("E"), 1u);
}

TEST_F(ValidationTest, NameEndingInDotTakesTheTypeExtension) {
  tree.addPhaseConfig("[DBFunction]\nDirectory=f\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n");
  tree.write("config/f/l.lst", "fn_a.\n");
  tree.write("config/f/fn_a.SQL", "x");
  EXPECT_EQ(validate("DBFunction"), 1u);
  EXPECT_EQ(processor->getDBFunctionTimes().count("fn_a.SQL"), 1u);
}

TEST_F(ValidationTest, CommentAndBlankListIsValidAndCountsNothing) {
  tree.addPhaseConfig("[P]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n");
  tree.write("config/d/l.lst", "# header\n\n   \t\r\n  # indented comment\r\n");
  EXPECT_EQ(validate("P", 1), 1u);
  EXPECT_EQ(processor->getTotalScriptsCount(), 0);
}

TEST_F(ValidationTest, SpecialPhasesRecordFirstTimesAndCountEveryLine) {
  tree.addPhaseConfig(
      "[DBFunction]\nDirectory=f\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n"
      "[Other]\nDirectory=f\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n");
  tree.addList("f", "l.lst", {"a.sql", "b.sql"});
  struct utimbuf times = {1000000, 1234567};
  ASSERT_EQ(utime(tree.path("config/f/a.sql").c_str(), &times), 0);

  INIFileProcessor proc(tree.params(), 1);
  EXPECT_EQ(proc.validatePhase("DBFunction"), 1u);
  EXPECT_EQ(proc.getDBFunctionTimes().at("a.sql"), 1234567);
  EXPECT_EQ(proc.getDBFunctionTimes().size(), 2u);
  EXPECT_EQ(proc.getTotalScriptsCount(), 2);

  struct utimbuf later = {1000000, 2000000};
  ASSERT_EQ(utime(tree.path("config/f/a.sql").c_str(), &later), 0);
  EXPECT_EQ(proc.validatePhase("DBFunction"), 1u);
  EXPECT_EQ(proc.getDBFunctionTimes().at("a.sql"), 1234567);
  EXPECT_EQ(proc.getTotalScriptsCount(), 4);

  // Another phase name, or the same section under a lower-case name, records nothing.
  EXPECT_EQ(proc.validatePhase("Other"), 1u);
  EXPECT_EQ(proc.validatePhase("dbfunction"), 1u);
  EXPECT_EQ(proc.getDBFunctionTimes().size(), 2u);
  EXPECT_TRUE(proc.getUpgradeScriptTimes().empty());
  EXPECT_EQ(proc.getTotalScriptsCount(), 8);
}

TEST_F(ValidationTest, ProgressFlagClearCountsNothing) {
  tree.addPhaseConfig("[P]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n");
  tree.addList("d", "l.lst", {"a.sql", "b.sql"});
  EXPECT_EQ(validate("P", 0), 1u);
  EXPECT_EQ(processor->getTotalScriptsCount(), 0);
}

TEST_F(ValidationTest, SubModulesAreValidatedInTurn) {
  tree.addPhaseConfig(
      "[Parent]\nDirectory=p\nSubModuleSections=Child, Ghost\n"
      "[Child]\nDirectory=c\nPostCommandType=SQL\nPostCommand-CurRelListFileName=l.lst\n");
  tree.addList("c", "l.lst", {"c.sql"});
  EXPECT_EQ(validate("Parent"), 0u);
  EXPECT_TRUE(log.contains("Validating Phase [Child]."));
  EXPECT_TRUE(log.contains("Missing Phase [Ghost]."));
  EXPECT_TRUE(log.contains("Validation of Phase [Ghost] failed."));
  EXPECT_FALSE(log.contains("Validation of Phase [Child] failed."));
}

TEST_F(ValidationTest, SubModuleCyclesAreRefused) {
  tree.addPhaseConfig(
      "[Self]\nSubModuleSections=Self\n"
      "[A]\nSubModuleSections=B\n"
      "[B]\nSubModuleSections=a\n");
  EXPECT_EQ(validate("Self"), 0u);
  EXPECT_TRUE(log.contains("Phase [Self] is part of a cycle: [Self -> Self]."));
  EXPECT_EQ(validate("A"), 0u);
  EXPECT_TRUE(log.contains("Phase [a] is part of a cycle: [A -> B -> a]."));
  EXPECT_TRUE(log.contains("Validation of Phase [B] failed."));
}

TEST_F(ValidationTest, DamagedListFilesFailWithAClearMessage) {
  tree.addPhaseConfig(
      "[Dir]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=sub\n"
      "[Nul]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=nul.lst\n"
      "[Long]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=long.lst\n");
  tree.write("config/d/sub/x.sql", "x");
  tree.write("config/d/nul.lst", std::string("a.sql\nb\0c.sql\n", 14));
  tree.write("config/d/a.sql", "x");
  tree.write("config/d/long.lst", std::string(100000, 'x') + ".sql\n");

  EXPECT_EQ(validate("Dir"), 0u);
  EXPECT_TRUE(log.contains("is a directory, not a regular file."));
  EXPECT_TRUE(log.contains("Cannot open list file [" + tree.path("config/d/sub") + "]."));
  EXPECT_EQ(validate("Nul"), 0u);
  EXPECT_TRUE(log.contains("holds a NUL byte on line 2."));
  EXPECT_TRUE(log.contains("Failed to check script files for list file [" + tree.path("config/d/nul.lst") + "]."));
  EXPECT_EQ(validate("Long"), 0u);
  EXPECT_TRUE(log.contains("has a line longer than"));
}

}  // namespace
