// zarezodud run through FreeTDS against the SQL Server protocol test peer where the server's own
// error semantics decide the outcome: a RAISERROR of severity 16 that the script follows with a
// marker and a return code, XACT_ABORT OFF and ON around a duplicate key, a severity-20 error
// that closes the session in the middle of a script, and a batch held to the script time limit.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "support/peer_upgrade.h"
#include "support/tds_peer.h"

namespace {

using Clock = std::chrono::steady_clock;

// Records the script's name in dbo.ExecutedScripts.
std::string recordStep(const std::string& name) {
  return "INSERT INTO dbo.ExecutedScripts (name) VALUES (N'" + name + "');\n";
}

class ServerSemantics : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
    std::string reason;
    ASSERT_TRUE(peer_.start(ztest::TdsPeer::Options(), reason)) << reason;
  }

  // A phase [name] running the scripts (file name, text) in order from the folder name, after
  // one that creates dbo.ExecutedScripts, dbo.Flags and the tables of the tests.
  void addPhase(const std::string& name, const std::vector<std::pair<std::string, std::string>>& scripts,
                bool terminateOnError) {
    std::string list = "setup.sql\n";
    inst_.write(name + "/setup.sql",
                "CREATE TABLE dbo.ExecutedScripts (id INT IDENTITY(1,1) PRIMARY KEY, name NVARCHAR(256) NOT "
                "NULL);\nCREATE TABLE dbo.Flags (name NVARCHAR(50) NOT NULL);\n"
                "CREATE TABLE dbo.KeptRows (id INT NOT NULL PRIMARY KEY);\n"
                "CREATE TABLE dbo.RolledBackRows (id INT NOT NULL PRIMARY KEY);\nGO\n");
    for (const auto& [file, text] : scripts) {
      inst_.write(name + "/" + file, text);
      list += file + "\n";
    }
    inst_.write(name + "/" + name + ".lst", list);
    inst_.write("phases.ini", ztest::readFile(inst_.path("phases.ini")) + "\n[" + name + "]\nDirectory = " +
                                  name + "\nPreCommandType = SQL\nPreCommand-CheckReturnValue = TRUE\n" +
                                  (terminateOnError ? "" : "PreCommand-TerminateOnError = FALSE\n") +
                                  "PreCommand-CurRelListFileName = " + name + ".lst\n");
  }

  ztest::CommandResult run(std::vector<std::string> args) {
    return inst_.run(std::move(args), peer_.options().password);
  }
  std::vector<std::string> query(const std::string& sql) {
    std::string error;
    std::vector<std::string> rows = ztest::PeerUpgrade::queryPeer(peer_, "Corehub", sql, &error);
    EXPECT_EQ(error, "") << sql;
    return rows;
  }
  std::vector<std::string> executed() { return query("SELECT name FROM ExecutedScripts ORDER BY id"); }
  std::string file(const std::string& relative) { return ztest::readFile(inst_.path(relative)); }

  ztest::TdsPeer peer_;
  ztest::PeerUpgrade inst_{ZAREZODUD_CLI_PATH, true};
};

TEST_F(ServerSemantics, RaiserrorSixteenIsFollowedByTheMarkerAndTheCodeAndFailsTheScript) {
  addPhase("Checks",
           {{"disk.sql", recordStep("disk.sql") +
                             "RAISERROR('Disk check failed.', 16, 1)\n"
                             "PRINT '###ERROR### Disk space is below the minimum.'\n"
                             "PRINT '###ADVICE### Free 2 GB on the data volume and retry.'\n" +
                             recordStep("disk.sql went on") + "SELECT 7;\nGO\n"},
            {"next.sql", recordStep("next.sql") + "SELECT 0;\nGO\n"}},
           false);
  const ztest::CommandResult result = run(ztest::PeerUpgrade::runArgs("Checks", peer_.port()));
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  EXPECT_NE(result.out.find("1 failed"), std::string::npos) << result.out;
  EXPECT_EQ(executed(), (std::vector<std::string>{"disk.sql", "disk.sql went on", "next.sql"}))
      << "severity 16 ends neither the batch nor the list";

  // The batch failed on the server, so the script fails with 2 whatever it selected last.
  const std::string report = file("state/Corehub-report.json");
  EXPECT_TRUE(std::regex_search(
      report, std::regex(R"(disk.sql",\s*"action": "run",\s*"succeeded": false,\s*"code": 2)")))
      << report;
  // The marker printed after the error is in the script's result, with its advice.
  const std::string xml = file("state/Corehub-report.xml");
  EXPECT_TRUE(std::regex_search(
      xml, std::regex(R"(<field number="1" type="int64">2</field>\s*)"
                      R"(<field number="2" type="string">Disk space is below the minimum.</field>\s*)"
                      R"(<field number="6" type="string">Free 2 GB on the data volume and retry.</field>)")))
      << xml;
  // The phase log has the server's error and the messages after it, each with its line in the
  // script file as the operator sees it: the four lines of the XACT_ABORT and QUOTED_IDENTIFIER
  // batches sent in front of it do not count.
  const std::string phaseLog = file("logs/phase.log");
  EXPECT_TRUE(
      std::regex_search(phaseLog, std::regex(R"(NativeError:\[50000\] Message:\[\[FreeTDS\]\[SQL Server\])"
                                             R"(Disk check failed.\] \[RecNum:\d+, LineNum:2\])")))
      << phaseLog;
  EXPECT_TRUE(
      std::regex_search(phaseLog, std::regex(R"(###ADVICE### Free 2 GB on the data volume and retry.\] )"
                                             R"(\[RecNum:\d+, LineNum:4\])")))
      << phaseLog;
  EXPECT_NE(phaseLog.find("The batch starting at line 1 failed: [FreeTDS][SQL Server]Disk check failed."),
            std::string::npos)
      << phaseLog;
}

TEST_F(ServerSemantics, DuplicateKeyKeepsTheRestWithXactAbortOffAndRollsBackWithXactAbortOn) {
  // The engine puts SET XACT_ABORT ON in front of every script; the first one turns it off.
  addPhase("Keys",
           {{"abort_off.sql",
             "SET XACT_ABORT OFF;\nBEGIN TRANSACTION;\nINSERT INTO dbo.KeptRows VALUES (1);\n"
             "INSERT INTO dbo.KeptRows VALUES (1);\nINSERT INTO dbo.KeptRows VALUES (2);\n"
             "COMMIT TRANSACTION;\nGO\n"},
            {"abort_on.sql",
             "BEGIN TRANSACTION;\nINSERT INTO dbo.RolledBackRows VALUES (1);\n"
             "INSERT INTO dbo.RolledBackRows VALUES (1);\nINSERT INTO dbo.RolledBackRows VALUES (2);\n"
             "COMMIT TRANSACTION;\nGO\n"},
            {"after.sql", "INSERT INTO dbo.RolledBackRows VALUES (9);\nSELECT @@TRANCOUNT;\nGO\n"}},
           false);
  const ztest::CommandResult result = run(ztest::PeerUpgrade::runArgs("Keys", peer_.port()));
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  EXPECT_NE(result.out.find("2 failed"), std::string::npos) << result.out;
  EXPECT_EQ(query("SELECT id FROM KeptRows ORDER BY id"), (std::vector<std::string>{"1", "2"}))
      << "with XACT_ABORT OFF only the duplicate insert failed and the rest was committed";
  EXPECT_EQ(query("SELECT id FROM RolledBackRows ORDER BY id"), (std::vector<std::string>{"9"}))
      << "with XACT_ABORT ON the batch ended and its transaction was rolled back; the next script "
         "ran outside any transaction";
  const std::string phaseLog = file("logs/phase.log");
  EXPECT_NE(phaseLog.find("NativeError:[2627]"), std::string::npos) << phaseLog;
  EXPECT_EQ(phaseLog.find("after.sql] failed"), std::string::npos) << phaseLog;
}

TEST_F(ServerSemantics, SeverityTwentyFailsTheScriptKeepsThePositionAndResumeFinishes) {
  addPhase("Fatal",
           {{"first.sql", recordStep("first.sql") + "GO\n"},
            {"fatal.sql",
             recordStep("fatal.sql") +
                 "GO\nIF NOT EXISTS (SELECT 1 FROM dbo.Flags) RAISERROR('The session is stopped.', 20, 1) "
                 "WITH LOG\nGO\n" +
                 recordStep("fatal.sql end") + "GO\n"},
            {"last.sql", recordStep("last.sql") + "GO\n"}},
           true);
  const ztest::CommandResult failed = run(ztest::PeerUpgrade::runArgs("Fatal", peer_.port()));
  EXPECT_EQ(failed.exitCode, 2) << failed.out << failed.err;
  EXPECT_NE(failed.out.find("Phase [Fatal] failed"), std::string::npos) << failed.out;
  EXPECT_EQ(executed(), (std::vector<std::string>{"first.sql", "fatal.sql"}));
  EXPECT_NE(file("logs/phase.log")
                .find("NativeError:[50000] Message:[[FreeTDS][SQL Server]The session is stopped.]"),
            std::string::npos)
      << file("logs/phase.log");

  ASSERT_EQ(query("INSERT INTO Flags (name) VALUES ('fixed')").size(), 0u);
  const ztest::CommandResult resumed = run({"run", "--resume", inst_.path("state/Corehub.journal")});
  ASSERT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err << file("logs/phase.log");
  EXPECT_EQ(executed(),
            (std::vector<std::string>{"first.sql", "fatal.sql", "fatal.sql", "fatal.sql end", "last.sql"}))
      << "the failed script runs again from its start, the one before it does not";
}

TEST_F(ServerSemantics, ScriptsAfterAClosedSessionRunOnANewConnection) {
  addPhase("Reopen",
           {{"fatal.sql", "RAISERROR('The session is stopped.', 21, 1) WITH LOG\nGO\n"},
            {"after.sql", recordStep("after.sql") + "SELECT 0;\nGO\n"}},
           false);
  const ztest::CommandResult result = run(ztest::PeerUpgrade::runArgs("Reopen", peer_.port()));
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  EXPECT_NE(result.out.find("1 failed"), std::string::npos) << result.out;
  EXPECT_EQ(executed(), (std::vector<std::string>{"after.sql"})) << file("logs/phase.log");
}

TEST_F(ServerSemantics, BatchPastTheScriptTimeoutIsCancelledAndTheNextScriptRuns) {
  addPhase("Slow",
           {{"slow.sql", recordStep("slow.sql") +
                             "GO\n-- waits until the flag is set\n"
                             "IF NOT EXISTS (SELECT 1 FROM dbo.Flags) WAITFOR DELAY '00:01:00'\nGO\n" +
                             recordStep("slow.sql end") + "GO\n"},
            {"next.sql", "BEGIN TRANSACTION;\n" + recordStep("next.sql") + "COMMIT TRANSACTION;\nGO\n"}},
           false);
  std::vector<std::string> args = ztest::PeerUpgrade::runArgs("Slow", peer_.port());
  args.push_back("--script-timeout");
  args.push_back("2");
  const auto started = Clock::now();
  const ztest::CommandResult result = run(args);
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count();
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  EXPECT_LT(seconds, 30) << "the run must not wait for the whole delay";
  EXPECT_EQ(executed(), (std::vector<std::string>{"slow.sql", "next.sql"}));

  const std::string report = file("state/Corehub-report.json");
  std::smatch took;
  ASSERT_TRUE(
      std::regex_search(report, took,
                        std::regex(R"(slow.sql",\s*"action": "run",\s*"succeeded": false,\s*"code": 2,)"
                                   R"(\s*"seconds": (\d+))")))
      << report;
  EXPECT_LT(std::stoi(took[1]), 5) << "the script failed soon after its limit";
  const std::string logs = file("logs/phase.log") + file("logs/upgrade.log");
  EXPECT_NE(logs.find("Script [" + inst_.path("Slow/slow.sql") +
                      "] exceeded the timeout of 2 second(s) in the batch starting at line 3."),
            std::string::npos)
      << logs;
}

TEST_F(ServerSemantics, ScriptThatTimedOutIsRetriedByResume) {
  addPhase("Retry",
           {{"slow.sql", recordStep("slow.sql") +
                             "GO\nIF NOT EXISTS (SELECT 1 FROM dbo.Flags) WAITFOR DELAY '00:01:00'\nGO\n" +
                             recordStep("slow.sql end") + "GO\n"},
            {"next.sql", recordStep("next.sql") + "GO\n"}},
           true);
  std::vector<std::string> args = ztest::PeerUpgrade::runArgs("Retry", peer_.port());
  args.push_back("--script-timeout");
  args.push_back("1");
  const ztest::CommandResult failed = run(args);
  EXPECT_EQ(failed.exitCode, 2) << failed.out << failed.err;
  EXPECT_EQ(executed(), (std::vector<std::string>{"slow.sql"}));

  // With the cause removed, a resume runs the script that timed out again, then the rest.
  ASSERT_EQ(query("INSERT INTO Flags (name) VALUES ('go')").size(), 0u);
  const ztest::CommandResult resumed =
      run({"run", "--resume", inst_.path("state/Corehub.journal"), "--script-timeout", "1"});
  EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err << file("logs/phase.log");
  EXPECT_EQ(executed(), (std::vector<std::string>{"slow.sql", "slow.sql", "slow.sql end", "next.sql"}));
}

}  // namespace
