// The SQL list runner over the scripted connection: order and resume, stop-or-go-on, code
// merging, drop lists, the service-pack failure rule, progress reports, per-script results
// scanned from the real output file, the service-pack selection, and the runner's logs.
#include <gtest/gtest.h>
#include <utime.h>

#include "engine/ini_file_processor.h"
#include "platform/registry/rk_platform_info.h"
#include "support/engine_harness.h"

namespace {

const char kInstallerKey[] = "SOFTWARE\\Tessaly Systems\\Quasar\\Installer\\Data";

// Records what the runner tells an observer, one line per call.
class RecordingObserver : public ScriptObserver {
 public:
  void onScriptStart(const std::string& phase, const std::string& list, const std::string& path) override {
    events.push_back("start " + phase + " " + list + " " + baseName(path));
  }
  void onScriptEnd(const std::string& phase, const std::string& list, const std::string& path, int code,
                   bool succeeded, double seconds) override {
    events.push_back("end " + phase + " " + list + " " + baseName(path) + " " + std::to_string(code) +
                     (succeeded ? " ok" : " failed"));
    EXPECT_GE(seconds, 0.0);
  }
  void onScriptSkipped(const std::string& phase, const std::string& list, const std::string& path,
                       const std::string&) override {
    events.push_back("skip " + phase + " " + list + " " + baseName(path));
  }
  static std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }
  std::vector<std::string> events;
};

class SqlListTest : public ::testing::Test {
 protected:
  SqlListTest() { record.setPhaseName("P"); }

  unsigned int run(const std::string& list, int terminateOnError = 1, int checkReturnValue = 0,
                   const std::string& quoted = "ON") {
    if (!processor) processor = h.processor(params);
    return processor->executeSQLList(h.phaseDir("d"), list, rc, terminateOnError, checkReturnValue, quoted,
                                     record);
  }
  // Makes the n-th execution from now (1-based) fail with error.
  void failAt(int n, const std::string& error = "Invalid object name 'dbo.Missing'.") {
    for (int i = 1; i < n; ++i) h.script().reply();
    h.script().failNext(error);
  }
  std::string list(const std::string& name) const { return h.phaseDir("d") + "/" + name; }

  ztest::EngineHarness h;
  ZARezodudParams params = h.params();
  std::unique_ptr<INIFileProcessor> processor;
  RKZARezodud::ProcessPhase record;
  int rc = -1;
};

using Entries = std::vector<std::string>;

TEST_F(SqlListTest, CommentsAndBlankLinesRunNothingAndSummaryIsAtLevel4) {
  h.tree().write("config/d/l.lst", "# heading\n\n   \t \n#x.sql\n");
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(h.script().texts.empty());
  const std::string log = h.log().text();
  const size_t at = log.find("Phase:P, NormalCount:0, NotRunCount:0");
  ASSERT_NE(at, std::string::npos);
  const std::string line = log.substr(log.rfind('\n', at) + 1, at - log.rfind('\n', at) - 1);
  EXPECT_NE(line.find(" 4 INIFileProcessor::executeSQLList"), std::string::npos) << line;
}

TEST_F(SqlListTest, RunsEveryScriptInOrderWithItsSettings) {
  h.tree().addList("d", "l.lst", {"a.sql", "  b.sql  ", "c.SQL"}, true);
  h.tree().write("config/d/a.sql", "SELECT 1 -- a.sql\n");
  h.tree().write("config/d/b.sql", "SELECT 1 -- b.sql\n");
  h.tree().write("config/d/c.SQL", "SELECT 1 -- c.SQL\n");
  EXPECT_EQ(run("l.lst", 1, 0, "OFF"), 1u);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(h.executed(), (Entries{"a.sql", "b.sql", "c.SQL"}));
  EXPECT_EQ(h.script().texts[0].rfind("SET XACT_ABORT ON\nGO\nSET QUOTED_IDENTIFIER OFF\nGO\n", 0), 0u);
  EXPECT_EQ(record.getCurrentScript(), "c.SQL");
  EXPECT_EQ(record.getResumeFlag(), 0);
  EXPECT_TRUE(h.log().contains("Processing list file [" + list("l.lst") + "]."));
  EXPECT_TRUE(h.log().contains("Executing file [" + list("b.sql") + "]."));
  // The product connection is opened once, with the fixed driver and the direct credentials.
  ASSERT_EQ(h.script().connectionStrings.size(), 1u);
  EXPECT_NE(h.script().connectionStrings[0].find("Scripted Test Driver"), std::string::npos);
}

TEST_F(SqlListTest, ResumeSkipsSilentlyUpToTheRecordedScript) {
  h.tree().addList("d", "l.lst", {"a.sql", "b.sql", "c.sql", "d.sql"});
  record.setResumeFlag(1);
  record.setCurrentScript("c.sql");
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_EQ(h.executed(), (Entries{"c.sql", "d.sql"}));
  EXPECT_EQ(record.getResumeFlag(), 0);
  EXPECT_EQ(record.getCurrentScript(), "d.sql");
  EXPECT_FALSE(h.log().contains("a.sql"));
  EXPECT_FALSE(h.log().contains("b.sql"));
}

TEST_F(SqlListTest, ResumeToAScriptTheListLacksRunsNothingAndKeepsTheFlag) {
  h.tree().addList("d", "l.lst", {"a.sql", "b.sql"});
  record.setResumeFlag(1);
  record.setCurrentScript("gone.sql");
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(h.executed().empty());
  EXPECT_EQ(record.getResumeFlag(), 1);
  EXPECT_EQ(record.getCurrentScript(), "gone.sql");
}

TEST_F(SqlListTest, TerminateOnErrorStopsAtTheFailedScript) {
  h.tree().addList("d", "l.lst", {"a.sql", "b.sql", "c.sql"});
  failAt(2);
  EXPECT_EQ(run("l.lst", 1), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(h.executed(), (Entries{"a.sql", "b.sql"}));
  EXPECT_EQ(record.getCurrentScript(), "b.sql");
  EXPECT_TRUE(h.log().contains("Execution of file [" + list("b.sql") + "] failed"));
  EXPECT_FALSE(h.log().contains("Processing of list file"));
  EXPECT_FALSE(ztest::fileExists(h.tree().path("logs/failed.log")));
}

TEST_F(SqlListTest, WithoutTerminateOnErrorTheRestRunsAndTheErrorIsKept) {
  h.tree().addList("d", "l.lst", {"a.sql", "b.sql", "c.sql"});
  failAt(2);
  h.script().reply().returnCode = 150;  // c.sql: a warning, read with check-return-value
  EXPECT_EQ(run("l.lst", 0, 1), 0u);
  EXPECT_EQ(h.executed(), (Entries{"a.sql", "b.sql", "c.sql"}));
  EXPECT_EQ(rc, 2);  // the error outranks the later warning
}

TEST_F(SqlListTest, ScriptCodesMergeByClass) {
  h.tree().addList("d", "l.lst", {"a.sql", "b.sql", "c.sql", "d.sql"});
  h.script().reply().returnCode = 101;
  h.script().reply().returnCode = 150;
  h.script().reply().returnCode = 120;
  h.script().reply().returnCode = 300;  // no class: never replaces a warning
  EXPECT_EQ(run("l.lst", 1, 1), 1u);
  EXPECT_EQ(rc, 150);

  // With check-return-value the script's own error code fails the script.
  h.script().reply().returnCode = 5;
  EXPECT_EQ(run("l.lst", 1, 1), 0u);
  EXPECT_EQ(rc, 5);
  EXPECT_EQ(h.executed().size(), 5u);
}

TEST_F(SqlListTest, FailureLogsInOrderAndOutputIsCopiedThenEmptied) {
  h.tree().addList("d", "l.lst", {"a.sql", "b.sql"});
  ztest::ScriptedReply& ok = h.script().reply();
  ok.messages.push_back({"01000", 0, "informational from a", 1});
  h.script().failNext("Conversion failed");
  h.script().replies.back().messages.push_back({"42000", 50000, "broken on purpose", 7});
  EXPECT_EQ(run("l.lst"), 0u);

  const std::string phaseLog = h.phaseLog();
  const size_t error = phaseLog.find("Conversion failed");
  const size_t output = phaseLog.find("broken on purpose");
  const size_t failed = phaseLog.find("Execution of file [" + list("b.sql") + "] failed");
  ASSERT_NE(error, std::string::npos) << phaseLog;
  ASSERT_NE(output, std::string::npos) << phaseLog;
  ASSERT_NE(failed, std::string::npos) << phaseLog;
  EXPECT_LT(error, output);
  EXPECT_LT(output, failed);
  // Only the failed script's output is copied, and the file is empty after each script.
  EXPECT_EQ(phaseLog.find("informational from a"), std::string::npos);
  EXPECT_EQ(ztest::readFile(h.outputFile()), "");
  EXPECT_LT(h.log().text().find("Conversion failed"), h.log().text().find("Execution of file ["));
}

TEST_F(SqlListTest, ServicePackFailureOnANonReleaseBuildIsAWarningAndListedAside) {
  h.tree().addList("d", "l.lst", {"a.sql", "b.sql", "c.sql"});
  params.setIsServicePackUpgrade(true);
  params.setIsRTMBuild(false);
  failAt(1);
  EXPECT_EQ(run("l.lst", 1), 1u);
  EXPECT_EQ(rc, 102);
  EXPECT_EQ(h.executed().size(), 3u);
  EXPECT_NE(h.failedLog().find(list("a.sql")), std::string::npos);
  EXPECT_NE(h.phaseLog().find("Execution of file [" + list("a.sql") + "] failed"), std::string::npos);

  // On such a build every failure merges 102, never its own error code.
  failAt(2);
  EXPECT_EQ(run("l.lst", 1), 1u);
  EXPECT_EQ(rc, 102);
}

TEST_F(SqlListTest, ServicePackFailureOnAReleaseBuildFailsTheList) {
  h.tree().addList("d", "l.lst", {"a.sql", "b.sql"});
  params.setIsServicePackUpgrade(true);
  params.setIsRTMBuild(true);
  failAt(1);
  EXPECT_EQ(run("l.lst", 1), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(h.executed().size(), 1u);
  EXPECT_FALSE(ztest::fileExists(h.tree().path("logs/failed.log")));
}

TEST_F(SqlListTest, DropListsRunOnlyInARepair) {
  // Not even the list file is needed when the drop list is passed over.
  EXPECT_EQ(run("DropDBFunctions.lst"), 1u);
  EXPECT_EQ(run("DropDBStoredProcedures.lst"), 1u);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(h.log().text(), "");
  EXPECT_TRUE(h.script().texts.empty());

  h.tree().addList("d", "dropdbfunctions.lst", {"x.sql"});
  EXPECT_EQ(run("dropdbfunctions.lst"), 1u);  // differs in case: an ordinary list
  EXPECT_EQ(h.executed(), (Entries{"x.sql"}));

  h.tree().addList("d", "DropDBFunctions.lst", {"f.sql"});
  params.setIsUpgradeRepair(true);
  processor.reset();
  EXPECT_EQ(run("DropDBFunctions.lst"), 1u);
  EXPECT_EQ(h.executed(), (Entries{"x.sql", "f.sql"}));
}

TEST_F(SqlListTest, ListAndDatabaseFailuresBeforeAnyScript) {
  EXPECT_EQ(run("absent.lst"), 0u);
  EXPECT_EQ(rc, 2);
  const std::string cannot = "Cannot open list file [" + list("absent.lst") + "].";
  EXPECT_TRUE(h.log().contains(cannot));
  EXPECT_NE(h.phaseLog().find(cannot), std::string::npos);

  params.setProductName("Unknown");
  processor.reset();
  h.tree().addList("d", "l.lst", {"a.sql"});
  EXPECT_EQ(run("l.lst"), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_TRUE(h.log().contains("Initializing dbObject failed."));
  EXPECT_TRUE(h.script().texts.empty());
}

TEST_F(SqlListTest, ReadErrorEndsTheListAfterWhatWasRead) {
  h.tree().addList("d", "l.lst", {"a.sql"});
  h.tree().write("config/d/l.lst", std::string("a.sql\nb\0.sql\nc.sql\n", 20));
  EXPECT_EQ(run("l.lst"), 0u);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(h.executed(), (Entries{"a.sql"}));
  const std::string failed = "Processing of list file [" + list("l.lst") + "] failed.";
  EXPECT_TRUE(h.log().contains(failed));
  EXPECT_NE(h.phaseLog().find(failed), std::string::npos);
}

TEST_F(SqlListTest, AMissingScriptIsAFailedScript) {
  h.tree().addList("d", "l.lst", {"ghost.sql", "b.sql"}, true);
  h.tree().write("config/d/b.sql", "SELECT 1 -- b.sql\n");
  EXPECT_EQ(run("l.lst", 0), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(h.executed(), (Entries{"b.sql"}));
  EXPECT_TRUE(h.log().contains("Execution of file [" + list("ghost.sql") + "] failed"));
}

// --- Progress.

class SqlProgressTest : public SqlListTest {
 protected:
  // Counts 50 scripts by validation, then runs the first 25 of them.
  void countFiftyRunTwentyFive() {
    Entries all;
    for (int i = 1; i <= 50; ++i) all.push_back("s" + std::to_string(i) + ".sql");
    h.tree().addList("d", "all.lst", all);
    h.tree().addList("d", "half.lst", Entries(all.begin(), all.begin() + 25));
    h.tree().addPhaseConfig("[Count]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=all.lst\n");
    processor = h.processor(params, 1);
    ASSERT_EQ(processor->validatePhase("Count"), 1u);
    ASSERT_EQ(processor->getTotalScriptsCount(), 50);
  }
  static bool setPercent(unsigned long long value) {
    zarezodud::RKPlatformInfo registry;
    return registry.setNumber(kInstallerKey, "nProgressPercent", value) != 0;
  }
  static long long percent() {
    zarezodud::RKPlatformInfo registry;
    unsigned long long value = 0;
    return registry.getNumber(kInstallerKey, "nProgressPercent", &value) ? static_cast<long long>(value) : -1;
  }
};

// Reads the installer's percentage as each script starts.
class PercentObserver : public ScriptObserver {
 public:
  void onScriptStart(const std::string&, const std::string&, const std::string&) override {
    zarezodud::RKPlatformInfo registry;
    unsigned long long value = 0;
    seen.push_back(registry.getNumber(kInstallerKey, "nProgressPercent", &value) ? static_cast<int>(value) : -1);
  }
  std::vector<int> seen;
};

TEST_F(SqlProgressTest, EveryTenthScriptReportsItsShare) {
  ASSERT_TRUE(setPercent(0));
  countFiftyRunTwentyFive();
  PercentObserver observer;
  processor->setScriptObserver(&observer);
  EXPECT_EQ(run("half.lst"), 1u);
  ASSERT_EQ(observer.seen.size(), 25u);
  // The report for the n-th script is made just before it runs.
  EXPECT_EQ(observer.seen[8], 0);
  EXPECT_EQ(observer.seen[9], 20);
  EXPECT_EQ(observer.seen[18], 20);
  EXPECT_EQ(observer.seen[19], 40);
  EXPECT_EQ(percent(), 40);
  EXPECT_EQ(processor->getExecutedScriptsCount(), 25);
}

TEST_F(SqlProgressTest, CoverageScalesTheShare) {
  ASSERT_TRUE(setPercent(0));
  countFiftyRunTwentyFive();
  processor->setPercentCoverage(30);
  EXPECT_EQ(run("half.lst"), 1u);
  EXPECT_EQ(percent(), 12);  // 20 * 30 / 50
}

TEST_F(SqlProgressTest, NothingIsWrittenWithoutATotalOrWithoutTheValue) {
  ASSERT_TRUE(setPercent(7));
  Entries twelve;
  for (int i = 1; i <= 12; ++i) twelve.push_back("t" + std::to_string(i) + ".sql");
  h.tree().addList("d", "l.lst", twelve);
  processor = h.processor(params, 1);  // progress on, but nothing counted
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_EQ(percent(), 7);
  EXPECT_EQ(processor->getExecutedScriptsCount(), 12);

  // With the installer's value absent, progress is not created.
  zarezodud::RKPlatformInfo registry;
  ASSERT_TRUE(registry.deleteValue(kInstallerKey, "nProgressPercent"));
  processor.reset();
  countFiftyRunTwentyFive();
  EXPECT_EQ(run("half.lst"), 1u);
  EXPECT_EQ(percent(), -1);
}

// --- Script results of the "PreUpgrade" stage, scanned from the real output file.

class ScriptResultTest : public SqlListTest {
 protected:
  ScriptResultTest() {
    params.setPhaseName("PreUpgrade");
    h.tree().addList("d", "l.lst", {"a.sql"});
  }
  const RKZARezodud::Script& onlyResult() {
    auto scripts = processor->getUpgradePhase().scripts();
    EXPECT_EQ(scripts.size(), 1u);
    return scripts.at(0);
  }
  size_t results() { return processor ? processor->getUpgradePhase().scripts().size() : 0; }
};

TEST_F(ScriptResultTest, FailedScriptCarriesTheScannedMessages) {
  params.setXmlOutput(1);
  h.script().failNext("failed");
  h.script().replies.back().messages = {{"42000", 50000, "###ERROR### Table QXJob is missing", 3},
                                        {"01000", 0, "###ADVICE### Restore the table", 4}};
  EXPECT_EQ(run("l.lst"), 0u);
  const RKZARezodud::Script& script = onlyResult();
  EXPECT_EQ(script.getName(), "a");
  EXPECT_EQ(script.getReturnCode(), 2);
  EXPECT_EQ(script.getDescription(), "a");
  ASSERT_EQ(script.errors().size(), 1u);
  EXPECT_EQ(script.errors().at(0).getSeverity(), 2);
  EXPECT_EQ(script.errors().at(0).getMessage(), "Table QXJob is missing");
  EXPECT_EQ(script.errors().at(0).getAdvice(), "Restore the table");
}

TEST_F(ScriptResultTest, FailedScriptWithoutMarkersGetsTheDefaultError) {
  params.setXmlOutput(2);
  h.script().failNext("failed");
  EXPECT_EQ(run("l.lst"), 0u);
  const RKZARezodud::Script& script = onlyResult();
  ASSERT_EQ(script.errors().size(), 1u);
  EXPECT_EQ(script.errors().at(0).getSeverity(), 2);
  EXPECT_EQ(script.errors().at(0).getMessage(), "Failed to execute SQL script, please check the file [" +
                                                    params.logfile() + "] for details.");
}

TEST_F(ScriptResultTest, WarningOfASucceededScriptIsReportedInMode1) {
  params.setXmlOutput(1);
  ztest::ScriptedReply& reply = h.script().reply();
  reply.returnCode = 150;
  reply.messages = {{"01000", 0, "###WARNING### Index rebuilt offline", 2}};
  EXPECT_EQ(run("l.lst", 1, 1), 1u);
  EXPECT_EQ(rc, 150);
  const RKZARezodud::Script& script = onlyResult();
  EXPECT_EQ(script.getReturnCode(), 150);
  ASSERT_EQ(script.errors().size(), 1u);
  EXPECT_EQ(script.errors().at(0).getSeverity(), 1);
  EXPECT_EQ(script.errors().at(0).getMessage(), "Index rebuilt offline");
}

TEST_F(ScriptResultTest, Mode1ReportsNothingForACleanScript) {
  params.setXmlOutput(1);
  h.script().reply().messages = {{"01000", 0, "###DESCRIPTION### Adds the job table", 1}};
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_EQ(results(), 0u);
}

TEST_F(ScriptResultTest, Mode2ReportsCleanScriptsThatDescribeThemselves) {
  params.setXmlOutput(2);
  h.tree().addList("d", "l.lst", {"a.sql", "b.sql"});
  h.script().reply().messages = {{"01000", 0, "###DESCRIPTION### Adds the job table", 1}};
  h.script().reply().messages = {{"01000", 0, "plain chatter", 1}};
  EXPECT_EQ(run("l.lst"), 1u);
  const RKZARezodud::Script& script = onlyResult();
  EXPECT_EQ(script.getName(), "a");
  EXPECT_EQ(script.getReturnCode(), 0);
  EXPECT_EQ(script.getDescription(), "Adds the job table");
  ASSERT_EQ(script.errors().size(), 1u);
  EXPECT_EQ(script.errors().at(0).getSeverity(), 0);
  EXPECT_EQ(script.errors().at(0).getMessage(), "");
}

TEST_F(ScriptResultTest, OnlyThePreUpgradeStageWithXmlOutputReports) {
  params.setXmlOutput(0);
  h.script().failNext("failed");
  EXPECT_EQ(run("l.lst"), 0u);
  EXPECT_EQ(results(), 0u);

  params.setXmlOutput(2);
  params.setPhaseName("preupgrade");
  processor.reset();
  h.script().failNext("failed");
  EXPECT_EQ(run("l.lst"), 0u);
  EXPECT_EQ(results(), 0u);
}

// --- Service-pack selection.

class SelectionTest : public SqlListTest {
 protected:
  // Writes the scripts of phase `phase` with the given modification times, validates the phase
  // so that the times are recorded, and names the phase in the position record.
  void prepare(const std::string& phase, const std::vector<std::pair<std::string, time_t>>& scripts) {
    Entries entries;
    for (const auto& s : scripts) entries.push_back(s.first);
    h.tree().addList("d", "l.lst", entries);
    for (const auto& s : scripts) {
      const std::string path = list(s.first);
      struct utimbuf times = {s.second, s.second};
      ASSERT_EQ(utime(path.c_str(), &times), 0);
    }
    h.tree().addPhaseConfig("[" + phase + "]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n");
    processor = h.processor(params);
    ASSERT_EQ(processor->validatePhase(phase), 1u);
    processor->setRecutTime(5000);
    record.setPhaseName(phase);
  }
};

TEST_F(SelectionTest, FunctionsRunWhenNamedOrNotOlderThanTheRecut) {
  prepare("DBFunction", {{"getcount.sql", 1000}, {"getsize.sql", 1000}, {"exact.sql", 5000}, {"newer.sql", 9000}});
  processor->addToFuncMap("getcount");
  processor->addToSPMap("getsize");  // the other map does not count for functions
  RecordingObserver observer;
  processor->setScriptObserver(&observer);
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_EQ(h.executed(), (Entries{"getcount.sql", "exact.sql", "newer.sql"}));
  EXPECT_TRUE(h.log().contains(list("getsize.sql") + " is not getting executed as it is not modified for this SP."));
  EXPECT_TRUE(h.log().contains("Phase:DBFunction, NormalCount:4, NotRunCount:1"));
  EXPECT_EQ(processor->getExecutedScriptsCount(), 1);  // the skipped one counts as done
  EXPECT_EQ(record.getCurrentScript(), "newer.sql");
  EXPECT_NE(std::find(observer.events.begin(), observer.events.end(), "skip DBFunction l.lst getsize.sql"),
            observer.events.end());
}

TEST_F(SelectionTest, StoredProceduresUseTheirOwnMapByBaseName) {
  prepare("DBStoredProcedure", {{"p2.sql", 10}, {"p1.sql", 10}});
  processor->addToSPMap("p2");
  processor->addToFuncMap("p1");
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_EQ(h.executed(), (Entries{"p2.sql"}));
  EXPECT_EQ(record.getCurrentScript(), "p1.sql");  // the last entry reached, although skipped
}

TEST_F(SelectionTest, UpgradeAndTableScriptsAreLookedUpByTheFullEntry) {
  prepare("UpgradeScript", {{"a.sql", 10}, {"b.sql", 10}});
  processor->addToCommonSQLFileMap("a");      // not the entry
  processor->addToCommonSQLFileMap("b.sql");  // the entry
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_EQ(h.executed(), (Entries{"b.sql"}));
  EXPECT_TRUE(h.log().contains("Phase:UpgradeScript, NormalCount:2, NotRunCount:1"));

  record.setPhaseName("TableScript");  // no times recorded for this kind: 0, older than the recut
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_EQ(h.executed(), (Entries{"b.sql", "b.sql"}));
}

TEST_F(SelectionTest, OtherPhasesAndRepairsRunEverything) {
  prepare("DBFunction", {{"old.sql", 10}});
  record.setPhaseName("dbfunction");  // names compare exactly
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_TRUE(h.log().contains("Phase:dbfunction, NormalCount:0, NotRunCount:0"));

  params.setIsUpgradeRepair(true);
  processor->setZARezodudParams(params);
  record.setPhaseName("DBFunction");
  EXPECT_EQ(run("l.lst"), 1u);
  EXPECT_TRUE(h.log().contains("Phase:DBFunction, NormalCount:0, NotRunCount:0"));
  EXPECT_EQ(h.executed(), (Entries{"old.sql", "old.sql"}));
}

}  // namespace
