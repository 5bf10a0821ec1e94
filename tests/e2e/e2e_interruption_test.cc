// zarezodud run through FreeTDS against the SQL Server protocol test peer, interrupted by a
// signal while a script waits in WAITFOR DELAY '00:01:00': the batch is cancelled on the
// server, the command ends with exit code 2 within 2 s, an open transaction of the script is
// rolled back, and `run --resume` runs the interrupted script again and the rest, nothing that
// finished, as the peer's own table of executed scripts shows. A second signal while the
// first is handled does not end the command before its journal is whole.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/run_journal.h"
#include "support/peer_upgrade.h"
#include "support/tds_peer.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string recordStep(const std::string& name) {
  return "INSERT INTO dbo.ExecutedScripts (name) VALUES (N'" + name + "');\n";
}

// Waits in its second batch until dbo.Flags holds a row.
const char kWaitForFlag[] = "IF NOT EXISTS (SELECT 1 FROM dbo.Flags) WAITFOR DELAY '00:01:00'\nGO\n";

class Interruption : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
    std::string reason;
    ASSERT_TRUE(peer_.start(ztest::TdsPeer::Options(), reason)) << reason;
  }

  // Phase [Long]: a set-up script, first.sql, the script given as slow.sql, next.sql.
  void addPhase(const std::string& slow) {
    inst_.write("Long/setup.sql",
                "CREATE TABLE dbo.ExecutedScripts (id INT IDENTITY(1,1) PRIMARY KEY, name NVARCHAR(256) NOT "
                "NULL);\nCREATE TABLE dbo.Flags (name NVARCHAR(50) NOT NULL);\n"
                "CREATE TABLE dbo.Items (id INT NOT NULL PRIMARY KEY);\nGO\n");
    inst_.write("Long/first.sql", recordStep("first.sql") + "GO\n");
    inst_.write("Long/slow.sql", slow);
    inst_.write("Long/next.sql", recordStep("next.sql") + "GO\n");
    inst_.write("Long/Long.lst", "setup.sql\nfirst.sql\nslow.sql\nnext.sql\n");
    inst_.write("phases.ini", ztest::readFile(inst_.path("phases.ini")) +
                                  "\n[Long]\nDirectory = Long\nPreCommandType = SQL\n"
                                  "PreCommand-CurRelListFileName = Long.lst\n");
  }

  pid_t start() {
    return ztest::startCommand(
        inst_.invocation(ztest::PeerUpgrade::runArgs("Long", peer_.port()), peer_.options().password),
        inst_.path("run.out"));
  }
  // Waits (at most 20 s) until the run journal says slow.sql started, then a little longer,
  // so that its waiting batch is on the server.
  bool waitForSlowScript() {
    const std::string record = "t=start\tphase=Long\tstage=1\tlist=1:Long.lst\tentry=1:slow.sql\t";
    const auto until = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < until) {
      if (ztest::readFile(journal_).find(record) != std::string::npos) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  // Sends the signals (more than one: together, so that the second arrives while the first is
  // handled), waits for the command and checks that it ended by itself with exit code 2 within
  // 2 s of the signals.
  void interrupt(pid_t pid, const std::vector<int>& signals) {
    if (signals.size() == 1) {
      ASSERT_EQ(::kill(pid, signals.front()), 0);
    } else {
      ASSERT_TRUE(ztest::sendWhileStopped(pid, signals));
    }
    const auto sent = Clock::now();
    const ztest::CommandResult result = ztest::waitCommand(pid);
    const double seconds = std::chrono::duration<double>(Clock::now() - sent).count();
    output_ = ztest::readFile(inst_.path("run.out"));
    RecordProperty("millisecondsToExit", static_cast<int>(seconds * 1000));
    ASSERT_EQ(result.signal, 0) << "ended by the signal itself\n" << output_;
    EXPECT_EQ(result.exitCode, 2) << output_;
    EXPECT_LT(seconds, 2.0) << output_;
  }

  std::vector<std::string> query(const std::string& sql) {
    std::string error;
    std::vector<std::string> rows = ztest::PeerUpgrade::queryPeer(peer_, "Corehub", sql, &error);
    EXPECT_EQ(error, "") << sql;
    return rows;
  }
  std::vector<std::string> executed() { return query("SELECT name FROM ExecutedScripts ORDER BY id"); }
  RunJournalReplay replay() {
    RunJournalReplay out;
    std::string error;
    EXPECT_TRUE(RunJournal::read(journal_, out, error)) << error;
    return out;
  }
  JournalScriptResult resultOf(const RunJournalReplay& replay, const std::string& script) {
    for (const JournalScript& s : replay.scripts) {
      if (s.path == inst_.path("Long/" + script)) return s.result;
    }
    ADD_FAILURE() << script << " is not in the journal";
    return JournalScriptResult::kFailed;
  }
  // Lets slow.sql through, resumes, and checks that the resume finished.
  void resume() {
    ASSERT_EQ(query("INSERT INTO Flags (name) VALUES ('go')").size(), 0u);
    const ztest::CommandResult resumed = inst_.run({"run", "--resume", journal_}, peer_.options().password);
    EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err
                                   << ztest::readFile(inst_.path("logs/phase.log"));
    EXPECT_NE(resumed.out.find("2 finished in an earlier run"), std::string::npos) << resumed.out;
  }

  ztest::TdsPeer peer_;
  ztest::PeerUpgrade inst_{ZAREZODUD_CLI_PATH, true};
  const std::string journal_ = inst_.path("state/Corehub.journal");
  std::string output_;
};

TEST_F(Interruption, SigintDuringALongScriptEndsTheRunWithinTwoSecondsAndTheResumeCompletes) {
  addPhase(recordStep("slow.sql") + "GO\n" + kWaitForFlag + recordStep("slow.sql end") + "GO\n");
  const pid_t pid = start();
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(waitForSlowScript()) << ztest::readFile(inst_.path("run.out"));
  interrupt(pid, {SIGINT});
  EXPECT_NE(output_.find("The run was interrupted by SIGINT. To continue where it stopped: zarezodud run "
                         "--resume " +
                         journal_),
            std::string::npos)
      << output_;
  EXPECT_EQ(executed(), (std::vector<std::string>{"first.sql", "slow.sql"}));
  const RunJournalReplay journal = replay();
  EXPECT_EQ(journal.ignoredBytes, 0u);
  EXPECT_EQ(resultOf(journal, "first.sql"), JournalScriptResult::kSucceeded);
  EXPECT_EQ(resultOf(journal, "slow.sql"), JournalScriptResult::kInterrupted);
  const std::string logs = ztest::readFile(inst_.path("logs/phase.log"));
  EXPECT_NE(logs.find("Script [" + inst_.path("Long/slow.sql") +
                      "] was cancelled in the batch starting at line 3."),
            std::string::npos)
      << logs;

  resume();
  EXPECT_EQ(executed(),
            (std::vector<std::string>{"first.sql", "slow.sql", "slow.sql", "slow.sql end", "next.sql"}));
}

TEST_F(Interruption, SigtermRollsBackTheScriptsOpenTransactionAndTheResumeCompletes) {
  addPhase("BEGIN TRANSACTION;\nINSERT INTO dbo.Items (id) VALUES (1);\n" + recordStep("slow.sql") + "GO\n" +
           kWaitForFlag + "COMMIT TRANSACTION;\nGO\n");
  const pid_t pid = start();
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(waitForSlowScript()) << ztest::readFile(inst_.path("run.out"));
  interrupt(pid, {SIGTERM});
  EXPECT_NE(output_.find("The run was interrupted by SIGTERM."), std::string::npos) << output_;
  EXPECT_EQ(executed(), std::vector<std::string>{"first.sql"}) << "slow.sql's work was rolled back";
  EXPECT_TRUE(query("SELECT id FROM Items").empty());

  resume();
  EXPECT_EQ(executed(), (std::vector<std::string>{"first.sql", "slow.sql", "next.sql"}));
  EXPECT_EQ(query("SELECT id FROM Items"), std::vector<std::string>{"1"});
}

TEST_F(Interruption, SecondSignalWhileTheFirstIsHandledLeavesAWholeJournal) {
  addPhase(recordStep("slow.sql") + "GO\n" + kWaitForFlag + recordStep("slow.sql end") + "GO\n");
  const pid_t pid = start();
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(waitForSlowScript()) << ztest::readFile(inst_.path("run.out"));
  interrupt(pid, {SIGINT, SIGTERM});
  EXPECT_NE(output_.find("zarezodud: interrupted (SIGINT)"), std::string::npos) << output_;
  EXPECT_NE(output_.find("zarezodud: still stopping (SIGTERM)"), std::string::npos) << output_;
  const RunJournalReplay journal = replay();
  EXPECT_EQ(journal.ignoredBytes, 0u);
  EXPECT_TRUE(journal.runFinished);
  EXPECT_EQ(resultOf(journal, "slow.sql"), JournalScriptResult::kInterrupted);

  resume();
  EXPECT_EQ(executed(),
            (std::vector<std::string>{"first.sql", "slow.sql", "slow.sql", "slow.sql end", "next.sql"}));
}

}  // namespace
