// Processing with a run journal over the scripted connection: the positions it records are the
// ones the phase walk computes (repeated entries, a sub-module named twice, post-command lists,
// drop lists), the digest recorded is that of the bytes run, a resumed processor runs exactly
// the scripts without a successful record, and a journal that cannot be written, or a stop
// request, ends processing before the next script.
#include <gtest/gtest.h>

#include "engine/ini_file_processor.h"
#include "engine/phase_walk.h"
#include "engine/run_journal.h"
#include "platform/crypto/sha256.h"
#include "support/engine_harness.h"
#include "support/journal_faults.h"

namespace {

using Entries = std::vector<std::string>;

class JournalProcessingTest : public ::testing::Test {
 protected:
  JournalProcessingTest() {
    // P: pre list a.lst (a1, k, a2, k, a3); sub-modules S, T, S (S: s.lst with s1, s2);
    // post lists z.lst (z1) and the drop list, which a non-repair run passes over.
    h.tree().addList("p", "a.lst", {"a1.sql", "k.sql", "a2.sql", "k.sql", "a3.sql"});
    h.tree().addList("p", "z.lst", {"z1.sql"});
    h.tree().addList("p", "DropDBFunctions.lst", {"drop.sql"});
    h.tree().addList("s", "s.lst", {"s1.sql", "s2.sql"});
    h.tree().addList("t", "t.lst", {"t1.sql"});
    h.tree().addPhaseConfig(
        "[P]\nDirectory=p\nPreCommandType=SQL\nPreCommand-CurRelListFileName=a.lst\n"
        "PreCommand-TerminateOnError=FALSE\nPreCommand-CheckReturnValue=TRUE\nSubModuleSections=S,T,"
        "S\nPostCommandType=SQL\n"
        "PostCommand-CurRelListFileName=z.lst,DropDBFunctions.lst\n"
        "[S]\nDirectory=s\nPreCommandType=SQL\nPreCommand-CurRelListFileName=s.lst\n"
        "[T]\nDirectory=t\nPreCommandType=SQL\nPreCommand-CurRelListFileName=t.lst\n");
  }
  static Entries all() {
    return {"a1.sql", "k.sql",  "a2.sql", "k.sql",  "a3.sql", "s1.sql",
            "s2.sql", "t1.sql", "s1.sql", "s2.sql", "z1.sql"};
  }
  std::string journalPath() { return h.tree().path("run.journal"); }
  // Processes P with a journal that is new (resume false) or continued.
  unsigned int run(bool resume, int& rc) {
    processor = h.processor();
    std::string error;
    journal = std::make_unique<RunJournal>();
    const bool opened = resume ? journal->resume(journalPath(), error)
                               : journal->start(journalPath(), RunJournalIdentity(), {}, error);
    EXPECT_TRUE(opened) << error;
    processor->setRunJournal(journal.get());
    RKZARezodud::ProcessPhase record;
    return processor->processPhase("P", rc, record);
  }
  RunJournalReplay replay() {
    RunJournalReplay r;
    std::string error;
    EXPECT_TRUE(RunJournal::read(journalPath(), r, error)) << error;
    return r;
  }
  void failAt(int n) {
    for (int i = 1; i < n; ++i) h.script().reply();
    h.script().failNext("Invalid column name 'x'.");
  }

  ztest::EngineHarness h;
  std::unique_ptr<INIFileProcessor> processor;
  std::unique_ptr<RunJournal> journal;
};

TEST_F(JournalProcessingTest, RecordsTheWalksPositionsAndTheDigestOfWhatRan) {
  int rc = -1;
  ASSERT_EQ(run(false, rc), 1u);
  EXPECT_EQ(h.executed(), all());
  const RunJournalReplay r = replay();
  std::vector<zarezodud::WalkedEntry> walk;
  std::string error;
  ASSERT_TRUE(zarezodud::walkPhase(*processor, "P", walk, error)) << error;
  ASSERT_EQ(r.scripts.size(), walk.size());
  for (size_t i = 0; i < walk.size(); ++i) {
    EXPECT_EQ(r.scripts[i].position, walk[i].position) << walk[i].position.describe();
    EXPECT_EQ(r.scripts[i].path, walk[i].path);
    EXPECT_TRUE(r.scripts[i].succeeded());
  }
  EXPECT_EQ(r.scripts[3].position.describe(), "P > stage 1 > list a.lst > k.sql (2nd)");
  EXPECT_EQ(r.scripts[8].position.describe(), "P > S (2nd) > stage 1 > list s.lst > s1.sql");
  std::string sha;
  ASSERT_TRUE(zarezodud::sha256File(h.phaseDir("p") + "/k.sql", sha, error));
  EXPECT_EQ(r.scripts[1].sha256, sha);
  EXPECT_EQ(journal->finishedCount(), 11);
}

// Failures in a stage that goes on are retried by the resume; what succeeded is not run
// again, and its recorded warning still counts.
TEST_F(JournalProcessingTest, AResumedRunRunsExactlyTheScriptsWithoutASuccessfulRecord) {
  h.script().reply();
  h.script().reply().returnCode = 150;  // k (first): a warning
  h.script().failNext("a2 failed");
  h.script().reply();
  h.script().failNext("a3 failed");
  int rc = -1;
  EXPECT_EQ(run(false, rc), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(h.executed(), all()) << "the pre-command stage goes on after failures";
  ASSERT_TRUE(journal->finishRun(false, rc));

  h.script().texts.clear();
  ASSERT_EQ(run(true, rc), 1u);
  EXPECT_EQ(h.executed(), (Entries{"a2.sql", "a3.sql"}));
  EXPECT_EQ(rc, 150) << "the earlier warning of k.sql is merged";
  EXPECT_TRUE(h.log().contains("k.sql finished in an earlier run; it is not run again."));

  h.script().texts.clear();
  ASSERT_EQ(run(true, rc), 1u);
  EXPECT_TRUE(h.executed().empty());
}

// A list that names one script twice, interrupted in the second occurrence: only that
// occurrence and what follows run again.
TEST_F(JournalProcessingTest, ResumeTellsTwoOccurrencesOfAScriptApart) {
  int rc = -1;
  std::string error;
  RunJournal first;
  ASSERT_TRUE(first.start(journalPath(), RunJournalIdentity(), {}, error)) << error;
  std::vector<zarezodud::WalkedEntry> walk;
  processor = h.processor();
  ASSERT_TRUE(zarezodud::walkPhase(*processor, "P", walk, error)) << error;
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(
        first.scriptFinished(walk[i].position, walk[i].path, "", JournalScriptResult::kSucceeded, 0, 0));
  }
  ASSERT_TRUE(first.scriptStarted(walk[3].position, walk[3].path, ""));  // the second k.sql
  ASSERT_EQ(run(true, rc), 1u);
  const Entries expected = all();
  EXPECT_EQ(h.executed(), Entries(expected.begin() + 3, expected.end()));
}

// The start record of the next script cannot be written: it is not sent, and processing ends
// there with a failure.
TEST_F(JournalProcessingTest, AJournalThatCannotBeWrittenStopsBeforeTheNextScript) {
  class BreakAt : public ScriptObserver {
   public:
    BreakAt(std::string path, std::string entry) : m_path(std::move(path)), m_entry(std::move(entry)) {}
    void onScriptStart(const std::string&, const std::string&, const std::string& script) override {
      if (script.size() >= m_entry.size() &&
          script.compare(script.size() - m_entry.size(), m_entry.size(), m_entry) == 0)
        ztest::makeFileFull(m_path);
    }
    std::string m_path, m_entry;
  } breaker(journalPath(), "/a3.sql");
  processor = h.processor();
  std::string error;
  RunJournal journalOnDisk;
  ASSERT_TRUE(journalOnDisk.start(journalPath(), RunJournalIdentity(), {}, error)) << error;
  processor->setRunJournal(&journalOnDisk);
  processor->setScriptObserver(&breaker);
  RKZARezodud::ProcessPhase record;
  int rc = -1;
  EXPECT_EQ(processor->processPhase("P", rc, record), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(h.executed(), (Entries{"a1.sql", "k.sql", "a2.sql", "k.sql"}))
      << "a3 was not sent, nor anything after";
  EXPECT_TRUE(journalOnDisk.failed());
  EXPECT_TRUE(processor->stopRequested());
  EXPECT_NE(h.phaseLog().find("Processing of Phase [P] stopped: cannot write the run journal: cannot write"),
            std::string::npos)
      << h.phaseLog();
  EXPECT_TRUE(h.log().contains("No space left on device"));
  const RunJournalReplay r = replay();
  EXPECT_EQ(r.scripts.size(), 4u);
}

// A batch list's entry whose finished record cannot be written stops the run at once.
TEST_F(JournalProcessingTest, AFinishedRecordThatCannotBeWrittenStopsAtOnce) {
  h.tree().addList("b", "b.lst", {"x.bat", "y.bat", "z.bat"}, true);
  h.tree().addPhaseConfig("[B]\nDirectory=b\nPreCommandType=BATCH\nPreCommand-CurRelListFileName=b.lst\n");
  class BreakOnStart : public ScriptObserver {
   public:
    explicit BreakOnStart(std::string path) : m_path(std::move(path)) {}
    void onScriptStart(const std::string&, const std::string&, const std::string& script) override {
      if (script.size() > 6 && script.compare(script.size() - 6, 6, "/y.bat") == 0)
        ztest::makeFileFull(m_path);
    }
    std::string m_path;
  } breaker(journalPath());
  processor = h.processor();
  std::string error;
  RunJournal journalOnDisk;
  ASSERT_TRUE(journalOnDisk.start(journalPath(), RunJournalIdentity(), {}, error)) << error;
  processor->setRunJournal(&journalOnDisk);
  processor->setScriptObserver(&breaker);
  int rc = -1;
  EXPECT_EQ(processor->processPhase("B", rc, nullptr), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_FALSE(h.log().contains("Executing file [" + h.phaseDir("b") + "/z.bat]."));
}

// A stop asked for while a script runs (as an interrupt would) ends the run before the next
// script and records the script as interrupted when it failed.
TEST_F(JournalProcessingTest, AStopRequestEndsTheRunBeforeTheNextScript) {
  class StopAfter : public ScriptObserver {
   public:
    explicit StopAfter(INIFileProcessor*& processor) : m_processor(processor) {}
    void onScriptEnd(const std::string&, const std::string&, const std::string& script, int, bool,
                     double) override {
      if (script.size() > 7 && script.compare(script.size() - 7, 7, "/a2.sql") == 0)
        m_processor->requestStop("interrupted");
    }
    INIFileProcessor*& m_processor;
  };
  processor = h.processor();
  INIFileProcessor* raw = processor.get();
  StopAfter stopper(raw);
  processor->setScriptObserver(&stopper);
  int rc = -1;
  EXPECT_EQ(processor->processPhase("P", rc, nullptr), 0u);
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(h.executed(), (Entries{"a1.sql", "k.sql", "a2.sql"}));
  EXPECT_NE(h.phaseLog().find("Processing stopped before file [" + h.phaseDir("p") + "/k.sql]: interrupted"),
            std::string::npos)
      << h.phaseLog();
  processor->clearStop();
  EXPECT_FALSE(processor->stopRequested());
}

}  // namespace
