// Reading phase sections: flag words, the release columns and the service-pack prefix.
#include <gtest/gtest.h>

#include "engine/ini_file_processor.h"
#include "support/log_capture.h"
#include "support/phase_tree.h"

namespace {

using Items = std::vector<std::string>;

class PhaseSectionTest : public ::testing::Test {
 protected:
  PhaseSection read(const std::string& phase, unsigned int expected = 1) {
    INIFileProcessor processor(params, 0);
    PhaseSection section;
    EXPECT_EQ(processor.readPhase(phase, section), expected);
    return section;
  }
  ztest::PhaseTree tree;
  ZARezodudParams params = tree.params();
};

TEST_F(PhaseSectionTest, AbsentFlagKeysGiveDefaults) {
  tree.addPhaseConfig("[Bare]\nDirectory=d\n");
  PhaseSection s = read("Bare");
  EXPECT_EQ(s.preCommandTerminateOnError, 1);
  EXPECT_EQ(s.postCommandTerminateOnError, 1);
  EXPECT_EQ(s.preCommandCheckReturnValue, 0);
  EXPECT_EQ(s.postCommandCheckReturnValue, 0);
  EXPECT_EQ(s.preCommandQuotedIdentifier, "ON");
  EXPECT_EQ(s.postCommandQuotedIdentifier, "ON");
  EXPECT_EQ(s.terminateOnEnvironmentError, 1);
  EXPECT_EQ(s.directory, "d");
}

TEST_F(PhaseSectionTest, FlagWordsCompareIgnoringCaseAndOnlyThoseWords) {
  tree.addPhaseConfig(
      "[Flags]\n"
      "PreCommand-TerminateOnError=false\nPostCommand-TerminateOnError=no\n"
      "PreCommand-CheckReturnValue=True\nPostCommand-CheckReturnValue=1\n"
      "PreCommand-QuotedIdentifier=off\nPostCommand-QuotedIdentifier=maybe\n"
      "TerminateOnEnvironmentError=FALSE\n");
  PhaseSection s = read("Flags");
  EXPECT_EQ(s.preCommandTerminateOnError, 0);
  EXPECT_EQ(s.postCommandTerminateOnError, 1);
  EXPECT_EQ(s.preCommandCheckReturnValue, 1);
  EXPECT_EQ(s.postCommandCheckReturnValue, 0);
  EXPECT_EQ(s.preCommandQuotedIdentifier, "OFF");
  EXPECT_EQ(s.postCommandQuotedIdentifier, "ON");
  EXPECT_EQ(s.terminateOnEnvironmentError, 0);
}

const char kReleaseSection[] =
    "[Rel]\n"
    "PreCommand-PreLastRelListFileName=p14.lst\nPreCommand-LastRelListFileName=p15.lst\n"
    "PreCommand-CurRelListFileName=p16a.lst, p16b.lst\n"
    "PreCommand-PreLastRelEnvINIFileName=e14.ini\nPreCommand-LastRelEnvINIFileName=e15.ini\n"
    "PreCommand-CurRelEnvINIFileName=e16.ini\n"
    "PostCommand-PreLastRelListFileName=q14.lst\nPostCommand-LastRelListFileName=q15.lst\n"
    "PostCommand-CurRelListFileName=q16.lst\n"
    "PostCommand-PreLastRelEnvINIFileName=f14.ini\nPostCommand-LastRelEnvINIFileName=f15.ini\n"
    "PostCommand-CurRelEnvINIFileName=f16.ini\n"
    "SubModuleSections= A ,, B \n";

TEST_F(PhaseSectionTest, ReleaseSelectsItsColumnAndKeepsRawTexts) {
  tree.addPhaseConfig(kReleaseSection);
  struct Case {
    int release;
    Items pre, post, preEnv, postEnv;
  } cases[] = {
      {16, {"p16a.lst", "p16b.lst"}, {"q16.lst"}, {"e16.ini"}, {"f16.ini"}},
      {15, {"p15.lst"}, {"q15.lst"}, {"e15.ini"}, {"f15.ini"}},
      {14, {"p14.lst"}, {"q14.lst"}, {"e14.ini"}, {"f14.ini"}},
  };
  for (const Case& c : cases) {
    params.setCurrentReleaseId(c.release);
    PhaseSection s = read("Rel");
    EXPECT_EQ(s.preCommandLists, c.pre) << c.release;
    EXPECT_EQ(s.postCommandLists, c.post) << c.release;
    EXPECT_EQ(s.preCommandEnvFiles, c.preEnv) << c.release;
    EXPECT_EQ(s.postCommandEnvFiles, c.postEnv) << c.release;
    EXPECT_EQ(s.subModulePhases, (Items{"A", "B"}));
    EXPECT_EQ(s.preCommandCurRelListFileName, "p16a.lst, p16b.lst");
  }
}

TEST_F(PhaseSectionTest, UnsupportedReleaseFailsWithItsNumber) {
  tree.addPhaseConfig(kReleaseSection);
  for (int release : {13, 17}) {
    ztest::UpgradeLogCapture log;
    params.setCurrentReleaseId(release);
    PhaseSection s = read("Rel", 0);
    EXPECT_TRUE(log.contains("Non-Supported ReleaseId [" + std::to_string(release) + "]."));
    EXPECT_TRUE(s.preCommandLists.empty());
    EXPECT_TRUE(s.subModulePhases.empty());
    EXPECT_EQ(s.preCommandLastRelListFileName, "p15.lst");
  }
}

TEST_F(PhaseSectionTest, ServicePackPrefixOnlyForRelease16PreCommandLists) {
  tree.addPhaseConfig(
      "[SP]\nPreCommand-CurRelListFileName=All_Func_Upg.lst,Extra.lst,Upg.lst\n"
      "PostCommand-CurRelListFileName=All_Func_Upg.lst\n"
      "PreCommand-LastRelListFileName=All_Func_Upg.lst\n");
  params.setIsServicePackUpgrade(true);
  params.setServicePackPrefix("SP2_");
  PhaseSection s = read("SP");
  // "Upg.lst" is part of the fixed text, so it qualifies as well.
  EXPECT_EQ(s.preCommandLists, (Items{"SP2_All_Func_Upg.lst", "Extra.lst", "SP2_Upg.lst"}));
  EXPECT_EQ(s.postCommandLists, (Items{"All_Func_Upg.lst"}));

  params.setCurrentReleaseId(15);
  EXPECT_EQ(read("SP").preCommandLists, (Items{"All_Func_Upg.lst"}));
  params.setCurrentReleaseId(16);
  params.setIsServicePackUpgrade(false);
  EXPECT_EQ(read("SP").preCommandLists, (Items{"All_Func_Upg.lst", "Extra.lst", "Upg.lst"}));
}

TEST_F(PhaseSectionTest, AbsentSectionReadsEmptyForSupportedRelease) {
  PhaseSection s = read("Nowhere");
  EXPECT_TRUE(s.preCommandLists.empty());
  EXPECT_EQ(s.preCommandQuotedIdentifier, "ON");
}

}  // namespace

namespace {

// A list line too long to read must fail the phase, not silently drop its lists.
TEST_F(PhaseSectionTest, OverlongListLineFailsTheRead) {
  std::string lists;
  for (int i = 0; i < 40; ++i) lists += (i ? "," : "") + std::string("list") + std::to_string(i) + ".lst";
  tree.addPhaseConfig("[Long]\nPreCommand-CurRelListFileName=" + lists + "\n");
  ztest::UpgradeLogCapture log;
  read("Long", 0);
  EXPECT_TRUE(log.contains("Key [PreCommand-CurRelListFileName] of Phase [Long] in [" + tree.configFile() +
                           "] cannot be read: its line is longer than 254 characters."));
}

}  // namespace
