// zarezodud run and run --resume through FreeTDS against the SQL Server protocol test peer, in
// the situations where a resume must neither lose a script nor run one twice nor run the
// wrong thing: failures in a stage that does not stop at them, a recorded position that the
// phase no longer has, a state directory that fills up, a list naming one script twice, a
// parameter file pointing at another server, kills at the exact boundaries of a script's
// record and of the journal's compaction, and a journal planted by another user. Each test
// judges by the database's own table of executed scripts, never by the command's account.
//
// The tests find the journal the way an operator does: from the advice the command prints
// ("zarezodud run --resume <path>") or, after a kill, as the one state file in the state
// directory besides the lock and the reports.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/run_journal.h"
#include "support/peer_upgrade.h"
#include "support/tds_peer.h"

namespace {

using Clock = std::chrono::steady_clock;
using Names = std::vector<std::string>;
using Env = std::vector<std::pair<std::string, std::string>>;

// A script that records its name, optionally waits on the server, and optionally fails (a
// severity-16 error) while the table dbo.Block exists.
std::string stepScript(const std::string& name, int waitMs, bool failWhenBlocked) {
  std::string text = "INSERT INTO dbo.ExecutedScripts (name) VALUES (N'" + name + "');\n";
  if (waitMs > 0) {
    char delay[32];
    std::snprintf(delay, sizeof delay, "00:00:%02d.%03d", waitMs / 1000, waitMs % 1000);
    text += "WAITFOR DELAY '" + std::string(delay) + "';\n";
  }
  if (failWhenBlocked)
    text += "IF OBJECT_ID('dbo.Block') IS NOT NULL RAISERROR('blocked by dbo.Block', 16, 1)\n";
  return text + "SELECT 0;\nGO\n";
}

// What follows "zarezodud run --resume " in output, up to the end of the line ("" when absent).
std::string resumeAdvice(const std::string& output) {
  const std::string marker = "zarezodud run --resume ";
  const size_t at = output.rfind(marker);
  if (at == std::string::npos) return "";
  const size_t end = output.find_first_of(" \n", at + marker.size());
  return output.substr(at + marker.size(), end == std::string::npos ? end : end - at - marker.size());
}

class ResumeCases : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
    std::string reason;
    ASSERT_TRUE(peer_.start(ztest::TdsPeer::Options(), reason)) << reason;
  }

  // Adds phase [name] (directory dir, one pre-command list steps.lst naming entries), with
  // extra keys, and writes each distinct entry as a step script.
  void addPhase(const std::string& name, const std::string& dir, const Names& entries, int waitMs,
                const std::string& failing = "", const std::string& extra = "") {
    std::string list;
    for (const std::string& entry : entries) {
      list += entry + "\n";
      inst_.write(dir + "/" + entry, stepScript(entry, waitMs, entry == failing));
    }
    inst_.write(dir + "/steps.lst", list);
    inst_.write("phases.ini",
                ztest::readFile(inst_.path("phases.ini")) + "\n[" + name + "]\nDirectory = " + dir +
                    "\nPreCommandType = SQL\nPreCommand-CurRelListFileName = steps.lst\n" + extra);
    createTable(peer_);
  }
  static void createTable(const ztest::TdsPeer& peer) {
    ztest::PeerUpgrade::queryPeer(
        peer, "Corehub",
        "CREATE TABLE IF NOT EXISTS ExecutedScripts (id INTEGER PRIMARY KEY, name TEXT NOT NULL)");
  }
  void block(bool on) {
    std::string error;
    ztest::PeerUpgrade::queryPeer(
        peer_, "Corehub", on ? "CREATE TABLE Block (x INTEGER)" : "DROP TABLE IF EXISTS Block", &error);
    ASSERT_EQ(error, "");
  }
  static Names rows(const ztest::TdsPeer& peer) {
    std::string error;
    Names names = ztest::PeerUpgrade::queryPeer(peer, "Corehub",
                                                "SELECT name FROM ExecutedScripts ORDER BY id", &error);
    return error.empty() ? names : Names{};
  }
  Names rows() const { return rows(peer_); }

  ztest::CommandResult run(const std::vector<std::string>& args, Env env = {}) {
    return inst_.run(args, peer_.options().password, std::move(env));
  }
  std::vector<std::string> fresh(const std::string& phase) const {
    return ztest::PeerUpgrade::runArgs(phase, peer_.port());
  }
  // Runs args in the background with the kill library loaded, configured by env.
  ztest::CommandResult runWithKillShim(const std::vector<std::string>& args, Env env) {
    env.emplace_back("LD_PRELOAD", ZTEST_KILL_SHIM_PATH);
    env.emplace_back("ASAN_OPTIONS", "verify_asan_link_order=0");
    const pid_t pid =
        ztest::startCommand(inst_.invocation(args, peer_.options().password, env), inst_.path("killed.out"));
    EXPECT_GT(pid, 0);
    return ztest::waitCommand(pid);
  }
  // The state file a run left in state/ (not the lock, not a report, not a temporary file).
  std::string stateFile() const {
    std::string found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(inst_.path("state"), ec)) {
      const std::string name = entry.path().filename().string();
      if (name.find(".lock") != std::string::npos || name.find("-report") != std::string::npos ||
          name.find(".journal.") != std::string::npos || name[0] == '.') {
        continue;
      }
      found = entry.path().string();
    }
    return found;
  }
  // Waits until the table holds at least count rows; false after limit.
  bool waitForRows(size_t count, std::chrono::seconds limit) const {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      if (rows().size() >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  ztest::TdsPeer peer_;
  ztest::PeerUpgrade inst_{ZAREZODUD_CLI_PATH, true};
};

// The shipped checks do not stop at a failure; a resume after the cause is mended must run
// the failed check again, and nothing that succeeded.
TEST_F(ResumeCases, FailuresOfANonTerminatingStageAreRetried) {
  std::string error;
  ztest::PeerUpgrade::queryPeer(peer_, "Corehub", "CREATE TABLE APP_Settings_Rel14 (name TEXT)", &error);
  ASSERT_EQ(error, "");
  const auto failed = run(fresh("PreUpgrade"));
  ASSERT_EQ(failed.exitCode, 2) << failed.out << failed.err;
  const std::string journal = resumeAdvice(failed.out);
  ASSERT_NE(journal, "") << failed.out;

  ztest::PeerUpgrade::queryPeer(peer_, "Corehub", "DROP TABLE APP_Settings_Rel14", &error);
  const auto resumed = run({"run", "--resume", journal});
  EXPECT_EQ(resumed.exitCode, 1) << "the earlier warning of check_clients still stands\n"
                                 << resumed.out << resumed.err;
  EXPECT_NE(resumed.out.find("1 script(s) run"), std::string::npos) << resumed.out;
  EXPECT_EQ(rows(), (Names{"check_server.sql", "check_clients.sql", "check_rel14_settings.sql",
                           "wait_for_jobs.sql", "check_rel14_settings.sql"}));
  EXPECT_EQ(run({"run", "--resume", journal}).out.find("Nothing to resume"), 0u);
}

// A resume whose recorded position the phase no longer has runs nothing and says what is
// missing; --force runs every script that has not finished.
TEST_F(ResumeCases, RecordedPositionThatIsGoneRunsNothingUnlessForced) {
  addPhase("Gone", "gone", {"a1.sql", "a2.sql", "a3.sql"}, 0, "a2.sql");
  block(true);
  const auto failed = run(fresh("Gone"));
  ASSERT_EQ(failed.exitCode, 2) << failed.out << failed.err;
  const std::string journal = resumeAdvice(failed.out);
  ASSERT_NE(journal, "") << failed.out;
  ASSERT_EQ(rows(), (Names{"a1.sql", "a2.sql"}));

  block(false);
  inst_.write("gone/steps.lst", "a1.sql\na3.sql\n");  // the failed entry was taken out
  const auto refused = run({"run", "--resume", journal});
  EXPECT_EQ(refused.exitCode, 2) << refused.out << refused.err;
  EXPECT_NE(refused.err.find("a2.sql"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("Nothing was run"), std::string::npos) << refused.err;
  EXPECT_EQ(rows(), (Names{"a1.sql", "a2.sql"}));

  // The parameters now upgrade from another release, whose lists do not hold the recorded one.
  inst_.write("gone/rel15.lst", "a3.sql\n");
  inst_.write("phases.ini",
              ztest::readFile(inst_.path("phases.ini")) + "PreCommand-LastRelListFileName = rel15.lst\n");
  const std::string params = ztest::readFile(inst_.path("params.ini"));
  std::string release15 = params;
  release15.replace(release15.find("currentReleaseId = 16"), 21, "currentReleaseId = 15");
  inst_.write("params.ini", release15);
  const auto otherRelease = run({"run", "--resume", journal});
  EXPECT_EQ(otherRelease.exitCode, 2) << otherRelease.out << otherRelease.err;
  EXPECT_NE(otherRelease.err.find("steps.lst"), std::string::npos) << otherRelease.err;
  EXPECT_EQ(rows(), (Names{"a1.sql", "a2.sql"}));
  inst_.write("params.ini", params);

  const auto forced = run({"run", "--resume", journal, "--force"});
  EXPECT_EQ(forced.exitCode, 0) << forced.out << forced.err;
  EXPECT_EQ(rows(), (Names{"a1.sql", "a2.sql", "a3.sql"}));
}

// The state directory fills up part way: the run stops before the next script, and the
// resume after space is freed repeats at most the one script whose record was not written.
TEST_F(ResumeCases, FullStateDirectoryStopsTheRunAndTheResumeRepeatsAtMostOneScript) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  Names steps;
  for (int i = 0; i < 40; ++i) steps.push_back("step" + std::to_string(100 + i) + ".sql");
  addPhase("Steps", "steps", steps, 60);
  const std::string state = inst_.path("state");
  std::filesystem::create_directories(state);
  ASSERT_EQ(std::system(("mount -t tmpfs -o size=256k,mode=0700 tmpfs '" + state + "'").c_str()), 0);
  struct Unmount {
    std::string dir;
    ~Unmount() { (void)std::system(("umount -l '" + dir + "'").c_str()); }
  } unmount{state};

  const pid_t pid =
      ztest::startCommand(inst_.invocation(fresh("Steps"), peer_.options().password), inst_.path("full.out"));
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(waitForRows(5, std::chrono::seconds(60)));
  {
    // Fill every free block of the state directory.
    std::ofstream filler(state + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
    }
  }
  const ztest::CommandResult ended = ztest::waitCommand(pid);
  const std::string output = ztest::readFile(inst_.path("full.out"));
  EXPECT_EQ(ended.exitCode, 2) << output;
  EXPECT_NE(output.find("No space left on device"), std::string::npos) << output;
  EXPECT_EQ(output.find("Report: "), std::string::npos) << "no report could be written: " << output;
  const size_t ranBeforeTheStop = rows().size();
  EXPECT_LT(ranBeforeTheStop, steps.size()) << "the run must stop, not go on without its journal";

  std::filesystem::remove(state + "/filler");
  const std::string journal = resumeAdvice(output);
  ASSERT_NE(journal, "") << output;
  const auto resumed = run({"run", "--resume", journal});
  EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
  const Names all = rows();
  Names distinct;
  for (const std::string& name : all) {
    if (distinct.empty() || distinct.back() != name) distinct.push_back(name);
  }
  EXPECT_EQ(distinct, steps) << "every step, in order";
  EXPECT_LE(all.size(), steps.size() + 1) << "at most one step may run twice";
}

// A list that names one script twice, killed while the second occurrence runs: the resume
// runs that occurrence again and goes on after it, not from the first occurrence.
TEST_F(ResumeCases, KillDuringTheSecondOccurrenceOfAScriptResumesThere) {
  addPhase("Twice", "twice", {"a1.sql", "k.sql", "a2.sql", "a4.sql", "k.sql", "a5.sql"}, 0);
  inst_.write("twice/k.sql", stepScript("k.sql", 1500, false));
  const pid_t pid = ztest::startCommand(inst_.invocation(fresh("Twice"), peer_.options().password),
                                        inst_.path("twice.out"));
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(waitForRows(5, std::chrono::seconds(60)));
  ::kill(pid, SIGKILL);
  ASSERT_EQ(ztest::waitCommand(pid).signal, SIGKILL);
  ASSERT_EQ(rows(), (Names{"a1.sql", "k.sql", "a2.sql", "a4.sql", "k.sql"}));

  const std::string journal = stateFile();
  ASSERT_NE(journal, "");
  const auto resumed = run({"run", "--resume", journal});
  EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
  EXPECT_EQ(rows(), (Names{"a1.sql", "k.sql", "a2.sql", "a4.sql", "k.sql", "k.sql", "a5.sql"}));
}

// The parameter file now names another server: the resume is refused there, --force or not,
// and nothing runs on it.
TEST_F(ResumeCases, ResumeAgainstAnotherServerIsRefused) {
  ztest::TdsPeer other;
  std::string reason;
  ASSERT_TRUE(other.start(ztest::TdsPeer::Options(), reason)) << reason;
  addPhase("Moved", "moved", {"m1.sql", "m2.sql", "m3.sql"}, 0, "m2.sql");
  block(true);
  const auto pointAt = [this](int port) {
    std::string params = ztest::readFile(inst_.path("params.ini"));
    const size_t at = params.find("SQLInstance = ");
    params.replace(at, params.find('\n', at) - at, "SQLInstance = 127.0.0.1," + std::to_string(port));
    inst_.write("params.ini", params);
  };
  pointAt(peer_.port());
  const auto failed = run({"run", "Moved", "--params", "params.ini", "--state-dir", "state"});
  ASSERT_EQ(failed.exitCode, 2) << failed.out << failed.err;
  const std::string journal = resumeAdvice(failed.out);
  ASSERT_NE(journal, "") << failed.out;

  createTable(other);
  pointAt(other.port());
  for (const bool force : {false, true}) {
    std::vector<std::string> args = {"run", "--resume", journal};
    if (force) args.push_back("--force");
    const auto refused = run(args);
    EXPECT_EQ(refused.exitCode, 2) << refused.out << refused.err;
    EXPECT_NE(refused.err.find("SQLInstance: [127.0.0.1," + std::to_string(peer_.port()) +
                               "] now [127.0.0.1," + std::to_string(other.port()) + "]"),
              std::string::npos)
        << refused.err;
  }
  EXPECT_TRUE(rows(other).empty()) << "nothing may run on the other server";
  EXPECT_EQ(rows(), (Names{"m1.sql", "m2.sql"}));
}

// Killed once the last script has ended, before anything else is written: the resume finds
// the phase done and runs nothing again.
TEST_F(ResumeCases, KillAfterTheLastScriptEndedRunsNothingAgain) {
  addPhase("Last", "last", {"l1.sql", "l2.sql", "l3.sql"}, 0);
  const auto killed = runWithKillShim(
      fresh("Last"),
      {{"ZTEST_KILL_ARM", "/l3.sql"}, {"ZTEST_KILL_AFTER_RECV", "1"}, {"ZTEST_KILL_AT", "sync"}});
  ASSERT_EQ(killed.signal, SIGKILL) << ztest::readFile(inst_.path("killed.out"));
  ASSERT_EQ(rows(), (Names{"l1.sql", "l2.sql", "l3.sql"}));

  const std::string journal = stateFile();
  ASSERT_NE(journal, "");
  const auto resumed = run({"run", "--resume", journal});
  EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
  EXPECT_EQ(rows(), (Names{"l1.sql", "l2.sql", "l3.sql"}));
  EXPECT_EQ(resumed.out.find("[4/3]"), std::string::npos) << resumed.out;
  EXPECT_NE(resumed.out.find("0 script(s) run"), std::string::npos) << resumed.out;
}

// Killed after a script's work is done on the server and before its finished record is
// written: that script, and only it, runs once more.
TEST_F(ResumeCases, KillBeforeAScriptsFinishedRecordRepeatsOnlyThatScript) {
  addPhase("Edge", "edge", {"e1.sql", "e2.sql", "e3.sql", "e4.sql"}, 0);
  const auto killed = runWithKillShim(
      fresh("Edge"),
      {{"ZTEST_KILL_ARM", "/e2.sql"}, {"ZTEST_KILL_AFTER_RECV", "1"}, {"ZTEST_KILL_AT", "write:.journal"}});
  ASSERT_EQ(killed.signal, SIGKILL) << ztest::readFile(inst_.path("killed.out"));
  ASSERT_EQ(rows(), (Names{"e1.sql", "e2.sql"}));
  const auto resumed = run({"run", "--resume", stateFile()});
  EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
  EXPECT_EQ(rows(), (Names{"e1.sql", "e2.sql", "e2.sql", "e3.sql", "e4.sql"}));
}

// Killed while the finished run's journal is being compacted (the snapshot written, not yet
// in place): the journal still says the run finished, and nothing runs again.
TEST_F(ResumeCases, KillDuringCompactionLosesNothing) {
  addPhase("Compact", "compact", {"c1.sql", "c2.sql"}, 0);
  const auto killed = runWithKillShim(fresh("Compact"),
                                      {{"ZTEST_KILL_AT", "rename:.journal"}, {"ZTEST_KILL_ARM", "/c2.sql"}});
  ASSERT_EQ(killed.signal, SIGKILL) << ztest::readFile(inst_.path("killed.out"));
  ASSERT_EQ(rows(), (Names{"c1.sql", "c2.sql"}));
  const std::string journal = inst_.path("state/Corehub.journal");
  const auto again = run({"run", "--resume", journal});
  EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_NE(again.out.find("Nothing to resume"), std::string::npos) << again.out;
  const auto next = run(fresh("Compact"));
  EXPECT_EQ(next.exitCode, 0) << "a finished run does not block the next one\n" << next.out << next.err;
  EXPECT_EQ(rows(), (Names{"c1.sql", "c2.sql", "c1.sql", "c2.sql"}));
}

// Another user planted a state file in a shared state directory, naming their own parameter
// file and phase. It must not be run, neither directly nor by following the command's advice.
TEST_F(ResumeCases, StateFilePlantedByAnotherUserIsNotTrusted) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting a file owned by another user needs root";
  addPhase("Evil", "evil", {"evil.sql"}, 0);
  addPhase("Mine", "mine", {"mine.sql"}, 0);
  const std::string shared = inst_.path("shared");
  std::filesystem::create_directories(shared);
  ::chmod(shared.c_str(), 01777);
  // The planter's parameter file: the same server and installation, the planter's phase.
  std::string params = ztest::readFile(inst_.path("params.ini"));
  const size_t at = params.find("SQLInstance = ");
  params.replace(at, params.find('\n', at) - at, "SQLInstance = 127.0.0.1," + std::to_string(peer_.port()));
  const std::string evilParams = inst_.write("planted.ini", params);
  // One planted file per format a version of the command reads: a run journal, and the older
  // JSON state file.
  RunJournalIdentity identity;
  identity.product = "Corehub";
  identity.server = "SQL Server";
  identity.database = "Corehub";
  identity.paramsFile = evilParams;
  identity.configFile = inst_.path("phases.ini");
  identity.phase = "Evil";
  RunJournal planted;
  std::string error;
  ASSERT_TRUE(planted.start(shared + "/Corehub.journal", identity, {{"backend", "odbc"}}, error)) << error;
  inst_.write(
      "shared/Corehub.state.json",
      "{\"version\": 1, \"status\": \"running\", \"paramsFile\": \"" + evilParams +
          "\", \"overrides\": [], \"reportFile\": \"\", \"backend\": \"odbc\", \"identity\": {\"product\": "
          "\"Corehub\", \"database\": \"Corehub\", \"server\": \"SQL Server\", \"configFile\": \"" +
          inst_.path("phases.ini") +
          "\", \"phase\": \"Evil\"}, \"currentScript\": \"\", \"currentScriptSha256\": \"\", "
          "\"scriptRunning\": false, \"scriptSucceeded\": false, \"journalMark\": -1, \"scriptsDone\": 0, "
          "\"scriptsTotal\": 1, \"updatedAt\": 0, \"position\": \"\"}\n");
  for (const char* name : {"/Corehub.journal", "/Corehub.state.json"}) {
    ASSERT_EQ(::chown((shared + name).c_str(), 65534, 65534), 0);
  }

  const auto mine = run({"run", "Mine", "--params", "params.ini", "--set",
                         "SQLInstance=127.0.0.1," + std::to_string(peer_.port()), "--state-dir", "shared"});
  EXPECT_EQ(mine.exitCode, 2) << mine.out << mine.err;
  EXPECT_NE(mine.err.find("owned by another user (uid 65534)"), std::string::npos) << mine.err;
  const std::string advice = resumeAdvice(mine.err);
  if (!advice.empty()) run({"run", "--resume", advice});  // what an operator would do next
  const auto direct = run({"run", "--resume", shared + "/Corehub.journal"});
  EXPECT_EQ(direct.exitCode, 2);
  EXPECT_NE(direct.err.find("not trusted"), std::string::npos) << direct.err;
  for (const std::string& name : rows()) EXPECT_NE(name, "evil.sql") << "the planted run was executed";

  // A journal in a directory that others may change is refused even when the file is ours.
  ::chmod(shared.c_str(), 0777);
  ::unlink((shared + "/Corehub.journal").c_str());
  const auto open = run({"run", "Mine", "--params", "params.ini", "--set",
                         "SQLInstance=127.0.0.1," + std::to_string(peer_.port()), "--state-dir", "shared"});
  EXPECT_EQ(open.exitCode, 2) << open.out << open.err;
  EXPECT_NE(open.err.find("writable by others and not sticky"), std::string::npos) << open.err;
  EXPECT_TRUE(rows().empty()) << "nothing ran";
}

}  // namespace
