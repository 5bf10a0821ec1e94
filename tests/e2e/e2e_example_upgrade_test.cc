// The example installation of examples/peer/ upgraded for real by the zarezodud command through
// the FreeTDS ODBC driver against the SQL Server protocol test peer: scripts run in list order
// and each leaves its name in the database, marked messages from real INFO and ERROR tokens
// become the XML script results and the JSON report, slow scripts reach the script-time log,
// and a failed script's server output reaches the phase log.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "engine/run_journal.h"
#include "support/peer_upgrade.h"
#include "support/tds_peer.h"

namespace {

using Names = std::vector<std::string>;

class ExampleUpgrade : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
    std::string reason;
    ASSERT_TRUE(peer_.start(ztest::TdsPeer::Options(), reason)) << reason;
    // Scripts of one second or more are slow for this installation.
    const auto set =
        inst_.run({"registry", "set", "Database", "nScriptExecutionThreshold", "--number", "1"}, password());
    ASSERT_EQ(set.exitCode, 0) << set.err;
  }

  std::string password() const { return peer_.options().password; }
  ztest::CommandResult run(const std::string& phase) {
    return inst_.run(ztest::PeerUpgrade::runArgs(phase, peer_.port()), password());
  }
  Names executed() {
    return ztest::PeerUpgrade::queryPeer(peer_, "Corehub", "SELECT name FROM ExecutedScripts ORDER BY id");
  }
  std::string file(const std::string& relative) { return ztest::readFile(inst_.path(relative)); }

  ztest::TdsPeer peer_;
  ztest::PeerUpgrade inst_{ZAREZODUD_CLI_PATH, true};
};

TEST_F(ExampleUpgrade, PreUpgradeChecksReportTheirFindingsAndTheSlowScript) {
  const ztest::CommandResult result = run("PreUpgrade");
  // The missing client table is a warning (code 101): exit code 1, nothing failed.
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_EQ(executed(), (Names{"check_server.sql", "check_clients.sql", "check_rel14_settings.sql",
                               "wait_for_jobs.sql"}));

  const std::string report = file("state/Corehub-report.json");
  EXPECT_TRUE(std::regex_search(report, std::regex(R"("returnCode": 101,\s*"exitCode": 1)"))) << report;
  EXPECT_TRUE(std::regex_search(report, std::regex(R"(check_clients.sql",\s*"action": "run",\s*)"
                                                   R"("succeeded": true,\s*"code": 101)")))
      << report;
  EXPECT_NE(report.find("\"failed\": 0"), std::string::npos) << report;

  // The description of each script, and the warning with its advice, from PRINT (INFO tokens).
  const std::string xml = file("state/Corehub-report.xml");
  EXPECT_NE(xml.find(">SQL Server version check<"), std::string::npos) << xml;
  EXPECT_TRUE(std::regex_search(
      xml,
      std::regex(
          R"(<field number="1" type="int64">1</field>\s*)"
          R"(<field number="2" type="string">The client table dbo.APP_Client does not exist yet.</field>\s*)"
          R"(<field number="6" type="string">Register the clients again after the upgrade.</field>)")))
      << xml;
  EXPECT_EQ(xml.find("###"), std::string::npos) << "markers must be cut from the texts: " << xml;
  // The JSON report carries the same results.
  EXPECT_TRUE(std::regex_search(
      report,
      std::regex(
          R"("severity": "warning",\s*"message": "The client table dbo.APP_Client does not exist yet.",)"
          R"(\s*"advice": "Register the clients again after the upgrade.")")))
      << report;
  EXPECT_EQ(xml.find("RecNum"), std::string::npos) << xml;

  // Only the script that waited on the server reaches the script-time log.
  const std::string times = file("logs/ScriptTime.log");
  EXPECT_TRUE(std::regex_search(times, std::regex(R"(wait_for_jobs\.sql - [1-9][0-9]* secs)"))) << times;
  EXPECT_EQ(times.find("check_server"), std::string::npos) << times;
  EXPECT_FALSE(ztest::fileExists(inst_.path("logs/phase.log")))
      << "nothing failed: " << file("logs/phase.log");

  // The peer received the scripts' texts in list order.
  std::string batches;
  for (const std::string& text : peer_.loggedTexts("batch")) batches += text + "\n";
  const std::size_t first = batches.find("N'check_server.sql'");
  const std::size_t last = batches.find("WAITFOR DELAY");
  ASSERT_NE(first, std::string::npos) << batches;
  ASSERT_NE(last, std::string::npos) << batches;
  EXPECT_LT(first, last);
}

TEST_F(ExampleUpgrade, ServerErrorFailsTheScriptIntoThePhaseLogAndTheListGoesOn) {
  // Leftover release 14 settings make the third check raise a severity-16 error.
  std::string error;
  ztest::PeerUpgrade::queryPeer(peer_, "Corehub", "CREATE TABLE APP_Settings_Rel14 (name TEXT)", &error);
  ASSERT_EQ(error, "");

  const ztest::CommandResult result = run("PreUpgrade");
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  EXPECT_NE(result.out.find("1 failed"), std::string::npos) << result.out;
  // TerminateOnError is off for the checks: the one after the failed script still ran.
  const Names ran = executed();
  ASSERT_FALSE(ran.empty());
  EXPECT_EQ(ran.back(), "wait_for_jobs.sql");

  const std::string xml = file("state/Corehub-report.xml");
  EXPECT_TRUE(std::regex_search(
      xml,
      std::regex(
          R"(<field number="9" type="int64">2</field>\s*<field number="10" type="list">\s*)"
          R"(<message group="105" kind="4">\s*<field number="1" type="int64">2</field>\s*)"
          R"(<field number="2" type="string">Release 14 settings are still in dbo.APP_Settings_Rel14.</field>\s*)"
          R"(<field number="6" type="string">Move the settings)")))
      << xml;

  // The phase log holds the server's own record of the error (SQLSTATE 42000, native 50000).
  const std::string phaseLog = file("logs/phase.log");
  EXPECT_TRUE(
      std::regex_search(phaseLog, std::regex(R"(SQLState:\[42000\] NativeError:\[50000\] Message:\[)"
                                             R"(\[FreeTDS\]\[SQL Server\]###ERROR### Release 14 settings)")))
      << phaseLog;
  EXPECT_NE(phaseLog.find("check_rel14_settings.sql] failed"), std::string::npos) << phaseLog;
  EXPECT_EQ(phaseLog.find("check_clients.sql] failed"), std::string::npos) << "a warning is no failure";
  const std::string report = file("state/Corehub-report.json");
  EXPECT_TRUE(std::regex_search(report, std::regex(R"(check_rel14_settings.sql",\s*"action": "run",\s*)"
                                                   R"("succeeded": false,\s*"code": 2)")))
      << report;
}

TEST_F(ExampleUpgrade, UpgradeRunsPrepareSubModulesAndPostStepsInOrder) {
  const ztest::CommandResult result = run("UpgradeDB");
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_EQ(executed(),
            (Names{"prepare_upgrade.sql", "APP_Client.SQL", "APP_JobHistory.sql", "0001_seed_clients.sql",
                   "0002_backfill_client_status.sql", "0003_update_version.sql", "finish_upgrade.sql"}));
  EXPECT_EQ(ztest::PeerUpgrade::queryPeer(peer_, "Corehub", "SELECT version FROM QXDBVersions"),
            Names{"11.0.0.16"});
  EXPECT_EQ(ztest::PeerUpgrade::queryPeer(peer_, "Corehub", "SELECT status FROM APP_Client ORDER BY id"),
            (Names{"0", "2"}));
  EXPECT_EQ(ztest::PeerUpgrade::queryPeer(peer_, "Corehub",
                                          "SELECT COUNT(*) FROM UpgradeHistory WHERE finishedAt IS NOT NULL"),
            Names{"1"});
  RunJournalReplay journal;
  std::string error;
  ASSERT_TRUE(RunJournal::read(inst_.path("state/Corehub.journal"), journal, error)) << error;
  EXPECT_TRUE(journal.runFinished && journal.runSucceeded);
  EXPECT_EQ(journal.scripts.size(), 7u);

  // With the table in place the pre-upgrade checks are now clean.
  const ztest::CommandResult checks = run("PreUpgrade");
  EXPECT_EQ(checks.exitCode, 0) << checks.out << checks.err;
}

}  // namespace
