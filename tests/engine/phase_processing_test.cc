// Phase processing over the scripted connection: stage order, stop-or-go-on after failed lists
// and sub-modules, configuration failures, cycles, every resume path of the position record,
// the observer, and a phase that fails part way and resumes to its end.
#include <gtest/gtest.h>

#include "engine/ini_file_processor.h"
#include "support/engine_harness.h"

namespace {

using Entries = std::vector<std::string>;

// A phase section; empty parts are left out. Types default to SQL.
std::string section(const std::string& name, const std::string& directory, const std::string& pre,
                    const std::string& subModules, const std::string& post, const std::string& extra = "") {
  std::string text = "[" + name + "]\nDirectory=" + directory + "\n";
  if (!pre.empty()) text += "PreCommandType=SQL\nPreCommand-CurRelListFileName=" + pre + "\n";
  if (!subModules.empty()) text += "SubModuleSections=" + subModules + "\n";
  if (!post.empty()) text += "PostCommandType=SQL\nPostCommand-CurRelListFileName=" + post + "\n";
  return text + extra;
}

class PhaseTest : public ::testing::Test {
 protected:
  unsigned int process(const std::string& phase) {
    if (!processor) processor = h.processor(params);
    return processor->processPhase(phase, rc, record);
  }
  void failAt(int n, const std::string& error = "Invalid column name 'x'.") {
    for (int i = 1; i < n; ++i) h.script().reply();
    h.script().failNext(error);
  }
  std::string dir(const std::string& name) const { return h.phaseDir(name); }
  // Forgets what was sent so far (a new run starts counting from here).
  void clearSent() { h.script().texts.clear(); }

  ztest::EngineHarness h;
  ZARezodudParams params = h.params();
  std::unique_ptr<INIFileProcessor> processor;
  RKZARezodud::ProcessPhase record;
  int rc = -1;
};

TEST_F(PhaseTest, EmptyPhaseSucceedsWhateverItsTypesAndEndsAtStage3) {
  h.tree().addPhaseConfig("[Empty]\nDirectory=e\nPreCommandType=PERL\nPostCommandType=\n");
  EXPECT_EQ(process("Empty"), 1u);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(record.getStage(), 3);
  EXPECT_TRUE(h.log().contains("Processing Phase [Empty]."));
  const std::string log = ztest::UpgradeLogCapture::logPath();
  EXPECT_NE(ztest::readFile(log.substr(0, log.rfind('/')) + "/ScriptTime.log").find(
                "Database: Corehub, PhaseName: Empty."),
            std::string::npos);
}

TEST_F(PhaseTest, ConfigurationFailuresAreErrors) {
  ZARezodudParams noConfig = params;
  noConfig.setConfigFile("");
  auto bare = h.processor(noConfig);
  ztest::StdoutCapture out;
  EXPECT_EQ(bare->processPhase("Any", rc, record), 0u);
  EXPECT_EQ(out.text(), "ConfigFile Name or LogFile Name is missing.\n");
  EXPECT_EQ(rc, 2);

  EXPECT_EQ(process("Nowhere"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_TRUE(h.log().contains("Phase [Nowhere] does not exist."));
  EXPECT_NE(h.phaseLog().find("Phase [Nowhere] does not exist."), std::string::npos);

  h.tree().addPhaseConfig(section("Old", "o", "", "", ""));
  ZARezodudParams oldRelease = params;
  oldRelease.setCurrentReleaseId(13);
  auto old = h.processor(oldRelease);
  EXPECT_EQ(old->processPhase("Old", rc, record), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_NE(h.phaseLog().find("Failed to Read Phase [Old]."), std::string::npos);
}

TEST_F(PhaseTest, InvalidCommandTypeStopsTheStageThatNamesLists) {
  h.tree().addList("v", "pre.lst", {"v1.sql"});
  h.tree().addList("v", "post.lst", {"v2.sql"});
  h.tree().addPhaseConfig(
      "[V]\nDirectory=v\nPreCommandType=sql\nPreCommand-CurRelListFileName=pre.lst\n"
      "PostCommandType=PERL\nPostCommand-CurRelListFileName=post.lst\n");
  EXPECT_EQ(process("V"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(h.executed(), (Entries{"v1.sql"}));  // the type is tested when its stage starts
  const std::string message =
      "Invalid Command Type [PERL] for Phase [V]. Supported Command Types are [SQL | BATCH | EXE].";
  EXPECT_TRUE(h.log().contains(message));
  EXPECT_NE(h.phaseLog().find(message), std::string::npos);
}

TEST_F(PhaseTest, RunsPreListsSubModulesThenPostListsAndKeepsThePosition) {
  h.tree().addList("p", "a.lst", {"a1.sql"});
  h.tree().addList("p", "b.lst", {"b1.sql", "b2.sql"});
  h.tree().addList("p", "z.lst", {"z1.sql"});
  h.tree().addList("s", "s.lst", {"s1.sql"});
  h.tree().addList("t", "t.lst", {"t1.sql"});
  h.tree().addPhaseConfig(section("P", "p", "a.lst, b.lst", "S,,T", "z.lst") + section("S", "s", "s.lst", "", "") +
                          section("T", "t", "", "", "t.lst"));
  EXPECT_EQ(process("P"), 1u);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(h.executed(), (Entries{"a1.sql", "b1.sql", "b2.sql", "s1.sql", "t1.sql", "z1.sql"}));
  EXPECT_EQ(record.getStage(), 3);
  EXPECT_EQ(record.getCurrentListFile(), "z.lst");
  EXPECT_EQ(record.getCurrentScript(), "z1.sql");
  EXPECT_EQ(record.getSubModule(), nullptr);
  EXPECT_EQ(record.getResumeFlag(), 0);
  EXPECT_TRUE(h.log().contains("Processing Phase [S]."));
}

TEST_F(PhaseTest, NullRecordBehavesAsAFreshOne) {
  h.tree().addList("p", "a.lst", {"a1.sql"});
  h.tree().addList("s", "s.lst", {"s1.sql"});
  h.tree().addPhaseConfig(section("P", "p", "a.lst", "S", "") + section("S", "s", "s.lst", "", ""));
  processor = h.processor(params);
  EXPECT_EQ(processor->processPhase("P", rc, nullptr), 1u);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(h.executed(), (Entries{"a1.sql", "s1.sql"}));
}

TEST_F(PhaseTest, FailedListWithTerminateOnErrorStopsThePhase) {
  h.tree().addList("p", "a.lst", {"a1.sql", "a2.sql"});
  h.tree().addList("p", "b.lst", {"b1.sql"});
  h.tree().addList("p", "z.lst", {"z1.sql"});
  h.tree().addPhaseConfig(section("P", "p", "a.lst,b.lst", "", "z.lst"));
  failAt(1);
  EXPECT_EQ(process("P"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(h.executed(), (Entries{"a1.sql"}));
  EXPECT_EQ(record.getStage(), 1);
  EXPECT_EQ(record.getCurrentListFile(), "a.lst");
  EXPECT_EQ(record.getCurrentScript(), "a1.sql");
}

TEST_F(PhaseTest, FailedListWithoutTerminateOnErrorLetsEverythingElseRun) {
  h.tree().addList("p", "a.lst", {"a1.sql", "a2.sql"});
  h.tree().addList("p", "b.lst", {"b1.sql"});
  h.tree().addList("s", "s.lst", {"s1.sql"});
  h.tree().addList("p", "z.lst", {"z1.sql"});
  h.tree().addPhaseConfig(section("P", "p", "a.lst,b.lst", "S", "z.lst",
                                  "PreCommand-TerminateOnError=false\nPreCommand-CheckReturnValue=TRUE\n") +
                          section("S", "s", "s.lst", "", ""));
  failAt(1);
  h.script().reply();
  h.script().reply().returnCode = 150;  // b1.sql: a warning
  EXPECT_EQ(process("P"), 0u);
  EXPECT_EQ(h.executed(), (Entries{"a1.sql", "a2.sql", "b1.sql", "s1.sql", "z1.sql"}));
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(record.getStage(), 3);
}

// Sub-module W fails with a warning (its list ends on a read error after a script returned
// 101), E with an error.
class SubModuleFailureTest : public PhaseTest {
 protected:
  SubModuleFailureTest() {
    h.tree().addList("w", "w.lst", {"w1.sql"});
    h.tree().write("config/w/w.lst", std::string("w1.sql\nw\0.sql\n", 14));
    h.tree().addList("e", "e.lst", {"e1.sql"});
    h.tree().addList("n", "n.lst", {"n1.sql"});
    h.tree().addList("p", "z.lst", {"z1.sql"});
    h.tree().addPhaseConfig(section("W", "w", "w.lst", "", "", "PreCommand-CheckReturnValue=TRUE\n") +
                            section("E", "e", "e.lst", "", "") + section("N", "n", "n.lst", "", ""));
  }
};

TEST_F(SubModuleFailureTest, WarningFailureIsReportedAndProcessingGoesOn) {
  h.tree().addPhaseConfig(section("P", "p", "", "W,N", "z.lst"));
  h.script().reply().returnCode = 101;
  EXPECT_EQ(process("P"), 0u);
  EXPECT_EQ(rc, 101);
  EXPECT_EQ(h.executed(), (Entries{"w1.sql", "n1.sql", "z1.sql"}));
  const std::string message = "Failed to process Phase [W]. ReturnCode [101]";
  EXPECT_TRUE(h.log().contains(message));
  EXPECT_NE(h.phaseLog().find(message), std::string::npos);
}

TEST_F(SubModuleFailureTest, ErrorFailureStopsTheParentAtOnce) {
  h.tree().addPhaseConfig(section("P", "p", "", "E,N", "z.lst"));
  failAt(1);
  EXPECT_EQ(process("P"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(h.executed(), (Entries{"e1.sql"}));
  EXPECT_TRUE(h.log().contains("Failed to process Phase [E]. ReturnCode [2]"));
  EXPECT_EQ(record.getStage(), 2);
  ASSERT_NE(record.getSubModule(), nullptr);
  EXPECT_EQ(record.getSubModule()->getPhaseName(), "E");
  EXPECT_EQ(record.getSubModule()->getCurrentScript(), "e1.sql");
}

TEST_F(SubModuleFailureTest, MissingSubModuleSectionStopsTheParent) {
  h.tree().addPhaseConfig(section("P", "p", "", "Ghost,N", "z.lst"));
  EXPECT_EQ(process("P"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_TRUE(h.executed().empty());
  const std::string log = h.log().text();
  const size_t missing = log.find("Phase [Ghost] does not exist.");
  const size_t failed = log.find("Failed to process Phase [Ghost]. ReturnCode [2]");
  ASSERT_NE(missing, std::string::npos);
  ASSERT_NE(failed, std::string::npos);
  EXPECT_LT(missing, failed);
}

TEST_F(PhaseTest, CyclesAreRefusedWithCode2) {
  h.tree().addList("a", "a.lst", {"a1.sql"});
  h.tree().addPhaseConfig(section("A", "a", "a.lst", "B", "") + section("B", "b", "", "A", "") +
                          section("Self", "a", "", "self", ""));
  EXPECT_EQ(process("A"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(h.executed(), (Entries{"a1.sql"}));
  EXPECT_TRUE(h.log().contains("Phase [A] is part of a cycle: [A -> B -> A]."));
  EXPECT_TRUE(h.log().contains("Failed to process Phase [A]. ReturnCode [2]"));
  EXPECT_TRUE(h.log().contains("Failed to process Phase [B]. ReturnCode [2]"));

  RKZARezodud::ProcessPhase fresh;
  EXPECT_EQ(processor->processPhase("Self", rc, fresh), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_TRUE(h.log().contains("Phase [self] is part of a cycle: [Self -> self]."));

  // The chain is left clean: the same processor runs A's list again in a later call.
  clearSent();
  h.tree().addPhaseConfig(section("Solo", "a", "a.lst", "", ""));
  RKZARezodud::ProcessPhase again;
  EXPECT_EQ(processor->processPhase("Solo", rc, again), 1u);
  EXPECT_EQ(h.executed(), (Entries{"a1.sql"}));
}

TEST_F(PhaseTest, ASharedSubModuleIsNotACycle) {
  h.tree().addList("d", "d.lst", {"d1.sql"});
  h.tree().addPhaseConfig(section("Top", "t", "", "L,R", "") + section("L", "l", "", "D", "") +
                          section("R", "r", "", "D", "") + section("D", "d", "d.lst", "", ""));
  EXPECT_EQ(process("Top"), 1u);
  EXPECT_EQ(h.executed(), (Entries{"d1.sql", "d1.sql"}));
}

TEST_F(PhaseTest, BatchAndExecutableListsAreWalkedNotRun) {
  h.tree().addList("b", "b.lst", {"x.bat", "y.bat"}, true);
  h.tree().addList("b", "e.lst", {"tool.exe"}, true);
  h.tree().addPhaseConfig(
      "[B]\nDirectory=b\nPreCommandType=Batch\nPreCommand-CurRelListFileName=b.lst\n"
      "PostCommandType=exe\nPostCommand-CurRelListFileName=e.lst\n");
  EXPECT_EQ(process("B"), 1u);
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(h.script().texts.empty());
  EXPECT_TRUE(h.log().contains("INIFileProcessor::executeBatchList Executing file [" + dir("b") + "/y.bat]."));
  EXPECT_TRUE(
      h.log().contains("INIFileProcessor::executeExecutableList Executing file [" + dir("b") + "/tool.exe]."));
  EXPECT_EQ(record.getCurrentScript(), "tool.exe");
}

// --- Resuming.

class ResumeTest : public PhaseTest {
 protected:
  // P: pre lists pa.lst (pa1, pa2) and pb.lst (pb1); sub-modules S1, S2, S3 (one list each,
  // s<n>.lst with s<n>a, s<n>b, s<n>c); post lists za.lst (za1) and zb.lst (zb1, zb2, zb3).
  ResumeTest() {
    h.tree().addList("p", "pa.lst", {"pa1.sql", "pa2.sql"});
    h.tree().addList("p", "pb.lst", {"pb1.sql"});
    h.tree().addList("p", "za.lst", {"za1.sql"});
    h.tree().addList("p", "zb.lst", {"zb1.sql", "zb2.sql", "zb3.sql"});
    std::string config = section("P", "p", "pa.lst,pb.lst", "S1,S2,S3", "za.lst,zb.lst");
    for (const std::string n : {"1", "2", "3"}) {
      h.tree().addList("s" + n, "s" + n + ".lst", {"s" + n + "a.sql", "s" + n + "b.sql", "s" + n + "c.sql"});
      config += section("S" + n, "s" + n, "s" + n + ".lst", "", "");
    }
    h.tree().addPhaseConfig(config);
    record.setResumeFlag(1);
  }
  static Entries all() {
    return {"pa1.sql", "pa2.sql", "pb1.sql", "s1a.sql", "s1b.sql", "s1c.sql", "s2a.sql", "s2b.sql",
            "s2c.sql", "s3a.sql", "s3b.sql", "s3c.sql", "za1.sql", "zb1.sql", "zb2.sql", "zb3.sql"};
  }
  static Entries from(const std::string& first) {
    Entries e = all();
    return Entries(std::find(e.begin(), e.end(), first), e.end());
  }
};

TEST_F(ResumeTest, PostStageResumesInTheRecordedListAtTheRecordedScript) {
  record.setStage(3);
  record.setCurrentListFile("zb.lst");
  record.setCurrentScript("zb2.sql");
  EXPECT_EQ(process("P"), 1u);
  EXPECT_EQ(h.executed(), (Entries{"zb2.sql", "zb3.sql"}));
  EXPECT_EQ(record.getResumeFlag(), 0);
  EXPECT_FALSE(h.log().contains("Processing Phase [S1]."));
}

TEST_F(ResumeTest, PostStageWithoutAScriptRunsTheWholeStage) {
  record.setStage(3);
  record.setCurrentListFile("zb.lst");
  EXPECT_EQ(process("P"), 1u);
  EXPECT_EQ(h.executed(), (Entries{"za1.sql", "zb1.sql", "zb2.sql", "zb3.sql"}));
}

// A position that is never reached ran nothing: the phase fails instead of reporting success.
TEST_F(ResumeTest, RecordedListThePhaseNoLongerNamesFailsAndRunsNothing) {
  record.setStage(1);
  record.setCurrentListFile("retired.lst");
  record.setCurrentScript("pa1.sql");
  EXPECT_EQ(process("P"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_TRUE(h.executed().empty());
  EXPECT_EQ(record.getResumeFlag(), 1);
  const std::string message =
      "Resume position [P stage 1, list [retired.lst], script [pa1.sql]] of Phase [P] was not found; nothing "
      "was run.";
  EXPECT_TRUE(h.log().contains(message));
  EXPECT_NE(h.phaseLog().find(message), std::string::npos) << h.phaseLog();
}

TEST_F(ResumeTest, PreStageWithoutAListRunsEverything) {
  record.setStage(1);
  EXPECT_EQ(process("P"), 1u);
  EXPECT_EQ(h.executed(), all());
  EXPECT_EQ(record.getResumeFlag(), 0);
}

TEST_F(ResumeTest, RecordedListWithoutAScriptRunsFromItsStart) {
  record.setStage(1);
  record.setCurrentListFile("pb.lst");
  EXPECT_EQ(process("P"), 1u);
  EXPECT_EQ(h.executed(), from("pb1.sql"));
}

TEST_F(ResumeTest, SubModuleStageResumesInsideTheSecondOfThree) {
  record.setStage(2);
  RKZARezodud::ProcessPhase* nested = record.getSubModule(true);
  nested->setPhaseName("S2");
  nested->setStage(1);
  nested->setCurrentListFile("s2.lst");
  nested->setCurrentScript("s2b.sql");
  EXPECT_EQ(process("P"), 1u);
  EXPECT_EQ(h.executed(), from("s2b.sql"));
  EXPECT_TRUE(h.log().contains("Processing Phase [S1]."));  // run through, nothing run
  EXPECT_EQ(record.getResumeFlag(), 0);
  EXPECT_EQ(record.getStage(), 3);
}

TEST_F(ResumeTest, ScriptTheListNoLongerHoldsFailsAndKeepsTheFlag) {
  record.setStage(1);
  record.setCurrentListFile("pa.lst");
  record.setCurrentScript("renamed.sql");
  EXPECT_EQ(process("P"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_TRUE(h.executed().empty());
  EXPECT_EQ(record.getResumeFlag(), 1);
  EXPECT_TRUE(
      h.log().contains("Resume position [P stage 1, list [pa.lst], script [renamed.sql]] of Phase [P] "
                       "was not found; nothing was run."));
}

// Inside a sub-module: the position names the nested record's list and script.
TEST_F(ResumeTest, MissingPositionInsideASubModuleFailsTheOuterPhase) {
  record.setStage(2);
  RKZARezodud::ProcessPhase* nested = record.getSubModule(true);
  nested->setPhaseName("S2");
  nested->setStage(1);
  nested->setCurrentListFile("s2.lst");
  nested->setCurrentScript("gone.sql");
  EXPECT_EQ(process("P"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_TRUE(h.executed().empty());
  EXPECT_TRUE(
      h.log().contains("Resume position [P stage 2 > S2 stage 1, list [s2.lst], script [gone.sql]] of "
                       "Phase [P] was not found; nothing was run."));
}

// Sub-modules often share list and script names; resuming into the second must not pick up
// the first one's list of the same name.
TEST_F(PhaseTest, ResumeIntoASubModuleIgnoresTheSameNamesInAnEarlierOne) {
  for (const std::string n : {"A", "B"}) {
    h.tree().write("config/" + n + "/steps.lst", "one.sql\ntwo.sql\n");
    h.tree().write("config/" + n + "/one.sql", "SELECT 1 -- " + n + "1\n");
    h.tree().write("config/" + n + "/two.sql", "SELECT 1 -- " + n + "2\n");
  }
  h.tree().addPhaseConfig(section("P", "p", "", "A,B", "") + section("A", "A", "steps.lst", "", "") +
                          section("B", "B", "steps.lst", "", ""));
  failAt(4);  // B's two.sql
  EXPECT_EQ(process("P"), 0u);
  EXPECT_EQ(h.executed(), (Entries{"A1", "A2", "B1", "B2"}));
  clearSent();
  record.setResumeFlag(1);
  EXPECT_EQ(process("P"), 1u);
  EXPECT_EQ(h.executed(), (Entries{"B2"}));
}

TEST_F(PhaseTest, ResumeInABatchListStartsAtTheRecordedEntry) {
  h.tree().addList("b", "b.lst", {"x.bat", "y.bat", "z.bat"}, true);
  h.tree().addPhaseConfig("[B]\nDirectory=b\nPreCommandType=BATCH\nPreCommand-CurRelListFileName=b.lst\n");
  record.setResumeFlag(1);
  record.setStage(1);
  record.setCurrentListFile("b.lst");
  record.setCurrentScript("y.bat");
  EXPECT_EQ(process("B"), 1u);
  EXPECT_FALSE(h.log().contains("x.bat"));
  EXPECT_TRUE(h.log().contains("Executing file [" + dir("b") + "/y.bat]."));
  EXPECT_TRUE(h.log().contains("Executing file [" + dir("b") + "/z.bat]."));
  EXPECT_EQ(record.getResumeFlag(), 0);
}

// A run that fails at any script, resumed with the same record, ends the phase with every
// script run exactly once apart from the failed one, which runs again.
TEST_F(ResumeTest, FailsAtEveryScriptInTurnAndResumesToTheEnd) {
  const Entries full = all();
  for (size_t k = 1; k <= full.size(); ++k) {
    SCOPED_TRACE("failing script " + full[k - 1]);
    processor = h.processor(params);
    record = RKZARezodud::ProcessPhase();
    clearSent();
    failAt(static_cast<int>(k));
    EXPECT_EQ(process("P"), 0u);
    EXPECT_EQ(rc, 2);
    EXPECT_EQ(h.executed(), Entries(full.begin(), full.begin() + k));

    clearSent();
    record.setResumeFlag(1);
    EXPECT_EQ(process("P"), 1u);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(h.executed(), Entries(full.begin() + k - 1, full.end()));
    EXPECT_EQ(record.getResumeFlag(), 0);
    EXPECT_EQ(record.getStage(), 3);
    EXPECT_EQ(record.getCurrentScript(), "zb3.sql");
  }
}

// --- Observer.

class PositionObserver : public ScriptObserver {
 public:
  void onScriptStart(const std::string& phase, const std::string& list, const std::string& path) override {
    events.push_back("start " + phase + " " + list + " " + path.substr(path.rfind('/') + 1));
  }
  void onScriptEnd(const std::string& phase, const std::string&, const std::string& path, int code,
                   bool succeeded, double) override {
    events.push_back("end " + phase + " " + path.substr(path.rfind('/') + 1) + " " + std::to_string(code) +
                     (succeeded ? " ok" : " failed"));
  }
  void onPositionChanged(const RKZARezodud::ProcessPhase& record) override {
    std::string text = "pos " + std::to_string(record.getStage()) + " " + record.getCurrentListFile() + " " +
                       record.getCurrentScript();
    if (const RKZARezodud::ProcessPhase* nested = record.getSubModule()) {
      text += " / " + nested->getPhaseName() + " " + nested->getCurrentScript();
    }
    events.push_back(text);
  }
  std::vector<std::string> events;
};

TEST_F(PhaseTest, ObserverSeesScriptsAndTheOutermostPosition) {
  h.tree().addList("p", "a.lst", {"a1.sql"});
  h.tree().addList("s", "s.lst", {"s1.sql"});
  h.tree().addPhaseConfig(section("P", "p", "a.lst", "S", "") + section("S", "s", "s.lst", "", ""));
  record.setPhaseName("P");
  processor = h.processor(params);
  PositionObserver observer;
  processor->setScriptObserver(&observer);
  h.script().reply();
  h.script().failNext("no");
  EXPECT_EQ(process("P"), 0u);
  const Entries& e = observer.events;
  auto at = [&e](const std::string& event) { return std::find(e.begin(), e.end(), event) - e.begin(); };
  const auto size = static_cast<std::ptrdiff_t>(e.size());
  ASSERT_LT(at("pos 1 a.lst a1.sql"), size);
  ASSERT_LT(at("start P a.lst a1.sql"), size);
  ASSERT_LT(at("end P a1.sql 0 ok"), size);
  ASSERT_LT(at("pos 2   / S s1.sql"), size);
  ASSERT_LT(at("start S s.lst s1.sql"), size);
  ASSERT_LT(at("end S s1.sql 2 failed"), size);
  EXPECT_LT(at("pos 1 a.lst a1.sql"), at("start P a.lst a1.sql"));
  EXPECT_LT(at("end P a1.sql 0 ok"), at("pos 2   / S s1.sql"));
  EXPECT_LT(at("pos 2   / S s1.sql"), at("start S s.lst s1.sql"));

  // Without an observer the same run behaves the same.
  processor->setScriptObserver(nullptr);
  record = RKZARezodud::ProcessPhase();
  h.script().reply();
  h.script().failNext("no");
  const size_t before = observer.events.size();
  EXPECT_EQ(process("P"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(observer.events.size(), before);
}

}  // namespace
