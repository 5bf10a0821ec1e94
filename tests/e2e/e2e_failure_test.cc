// zarezodud run through FreeTDS against the SQL Server protocol test peer when things go
// wrong: a wrong password (one refused login, a masked message, no password anywhere), a
// server that stops in the middle of a phase (a clear failure and a run journal that resumes
// once the server is back), and a server that accepts the connection but never answers
// (bounded by the login timeout instead of hanging).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/run_journal.h"
#include "support/peer_upgrade.h"
#include "support/tds_peer.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits up to limit for a started command; a command still running then is killed and
// reported with exit code -1 and signal SIGKILL.
ztest::CommandResult waitWithin(pid_t pid, std::chrono::seconds limit) {
  ztest::CommandResult result;
  const auto deadline = Clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      result.signal = SIGKILL;
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

// Every file under dir, concatenated (logs, state, reports, output files).
std::string everythingUnder(const std::string& dir) {
  std::string all;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) all += ztest::readFile(entry.path().string());
  }
  return all;
}

// A phase "Steps" of count scripts that record their names and wait a little on the server.
std::vector<std::string> addSteps(ztest::PeerUpgrade& inst, int count) {
  std::vector<std::string> names;
  std::string list;
  inst.write(
      "steps/create.sql",
      "IF OBJECT_ID('dbo.ExecutedScripts') IS NULL CREATE TABLE dbo.ExecutedScripts (id INT IDENTITY(1,1) "
      "PRIMARY KEY, name NVARCHAR(256) NOT NULL);\nGO\n");
  list += "create.sql\n";
  for (int i = 0; i < count; ++i) {
    names.push_back("step" + std::to_string(100 + i) + ".sql");
    list += names.back() + "\n";
    inst.write("steps/" + names.back(), "INSERT INTO dbo.ExecutedScripts (name) VALUES (N'" + names.back() +
                                            "');\nWAITFOR DELAY '00:00:00.150';\nSELECT 0;\nGO\n");
  }
  inst.write("steps/steps.lst", list);
  inst.write("phases.ini", ztest::readFile(inst.path("phases.ini")) +
                               "\n[Steps]\nDirectory = steps\nPreCommandType = SQL\n"
                               "PreCommand-CurRelListFileName = steps.lst\n");
  return names;
}

class PeerFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
  }
  void start(ztest::TdsPeer::Options options = ztest::TdsPeer::Options()) {
    std::string reason;
    ASSERT_TRUE(peer_.start(options, reason)) << reason;
  }

  ztest::TdsPeer peer_;
  ztest::PeerUpgrade inst_{ZAREZODUD_CLI_PATH, true};
};

TEST_F(PeerFailures, WrongPasswordIsRefusedOnceAndNeverShown) {
  start();
  const std::string wrong = "Wr0ng-Pa55word!";
  const ztest::CommandResult result =
      inst_.run(ztest::PeerUpgrade::runArgs("UpgradeDB", peer_.port()), wrong);
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  EXPECT_NE(result.err.find("Failed to get database connection"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("PWD=*****"), std::string::npos) << result.err;

  // The server's reason reaches the upgrade log, masked like everything else.
  const std::string upgradeLog = ztest::readFile(inst_.path("logs/upgrade.log"));
  EXPECT_NE(upgradeLog.find("Login failed for user 'sa'."), std::string::npos) << upgradeLog;

  // A refused login is not tried again: retries would count towards account lockout.
  int logins = 0;
  for (const std::string& entry : peer_.logEntries()) {
    if (ztest::jsonStringField(entry, "kind") != "login") continue;
    ++logins;
    EXPECT_NE(entry.find("\"ok\": false"), std::string::npos) << entry;
  }
  EXPECT_EQ(logins, 1);

  const std::string everything = result.out + result.err + everythingUnder(inst_.root());
  EXPECT_EQ(everything.find(wrong), std::string::npos) << "the password must appear nowhere";
  EXPECT_EQ(everything.find(peer_.options().password), std::string::npos);
  EXPECT_TRUE(ztest::PeerUpgrade::queryPeer(peer_, "Corehub", "SELECT name FROM sqlite_master").empty())
      << "nothing may have run on the database";
}

TEST_F(PeerFailures, ServerStoppingMidRunFailsClearlyAndTheRunResumesWhenItIsBack) {
  start();
  const std::vector<std::string> steps = addSteps(inst_, 20);
  const int port = peer_.port();
  const pid_t pid = ztest::startCommand(
      inst_.invocation(ztest::PeerUpgrade::runArgs("Steps", port), peer_.options().password),
      inst_.path("run.out"));
  ASSERT_GT(pid, 0);
  // Stop the server once a few steps are in.
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  for (;;) {
    const auto count =
        ztest::PeerUpgrade::queryPeer(peer_, "Corehub", "SELECT COUNT(*) FROM ExecutedScripts");
    if ((count.size() == 1 && std::stoi(count[0]) >= 4) || Clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  peer_.stop();
  const ztest::CommandResult stopped = waitWithin(pid, std::chrono::seconds(120));
  const std::string output = ztest::readFile(inst_.path("run.out"));
  ASSERT_EQ(stopped.signal, 0) << "the run did not end after the server stopped: " << output;
  EXPECT_EQ(stopped.exitCode, 2) << output;
  EXPECT_NE(output.find("Phase [Steps] failed"), std::string::npos) << output;
  EXPECT_NE(output.find("zarezodud run --resume"), std::string::npos) << output;
  const std::string statePath = inst_.path("state/Corehub.journal");
  RunJournalReplay journal;
  std::string error;
  ASSERT_TRUE(RunJournal::read(statePath, journal, error)) << error;
  EXPECT_FALSE(journal.runFinished && journal.runSucceeded);

  // The same server comes back on the same port with its data; the run resumes and finishes.
  ztest::TdsPeer::Options again;
  again.port = port;
  start(again);
  const ztest::CommandResult resumed = inst_.run({"run", "--resume", statePath}, peer_.options().password);
  ASSERT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
  const auto rows =
      ztest::PeerUpgrade::queryPeer(peer_, "Corehub", "SELECT name FROM ExecutedScripts ORDER BY id");
  std::vector<std::string> distinct;
  for (const std::string& name : rows) {
    if (distinct.empty() || distinct.back() != name) distinct.push_back(name);
  }
  EXPECT_EQ(distinct, steps) << "every step once, in order (only the interrupted one may repeat)";
  EXPECT_LE(rows.size(), steps.size() + 1);
}

TEST_F(PeerFailures, ServerThatNeverAnswersIsBoundedByTheLoginTimeout) {
  ztest::TdsPeer::Options options;
  options.hang = true;
  start(options);
  const auto started = Clock::now();
  const pid_t pid =
      ztest::startCommand(inst_.invocation(ztest::PeerUpgrade::runArgs("UpgradeDB", peer_.port()),
                                           peer_.options().password, {{"ZAREZODUD_LOGIN_TIMEOUT", "2"}}),
                          inst_.path("run.out"));
  ASSERT_GT(pid, 0);
  const ztest::CommandResult result = waitWithin(pid, std::chrono::seconds(90));
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count();
  const std::string output = ztest::readFile(inst_.path("run.out"));
  ASSERT_EQ(result.signal, 0) << "the run hung: " << output;
  EXPECT_EQ(result.exitCode, 2) << output;
  EXPECT_NE(output.find("Failed to get database connection"), std::string::npos) << output;
  // Six attempts of two seconds each, with short pauses between them.
  EXPECT_LT(seconds, 30) << output;
  EXPECT_EQ(output.find(peer_.options().password), std::string::npos);
}

}  // namespace
