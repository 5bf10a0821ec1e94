// Crash safety of zarezodud run against the SQL Server protocol test peer: a phase of 45
// scripts (a pre-command list, a sub-module, a post-command list), each recording its own name
// in the database and then waiting on the server, is killed with SIGKILL at ten random moments
// and resumed from its state file each time. The database's own table of executed scripts must
// then hold every script, in order, and a script more than once only when it was running when
// a kill struck: once more per kill that interrupted it, so twice at most for a single kill.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include "support/peer_upgrade.h"
#include "support/tds_peer.h"

namespace {

// Writes a list of count scripts under directory; returns their names in list order.
std::vector<std::string> addScripts(ztest::PeerUpgrade& inst, const std::string& directory,
                                    const std::string& list, const std::string& prefix, int count) {
  std::vector<std::string> names;
  std::string listText;
  for (int i = 0; i < count; ++i) {
    names.push_back(prefix + std::to_string(100 + i) + ".sql");
    listText += names.back() + "\n";
    inst.write(directory + "/" + names.back(),
               "-- One step of the crash test.\nINSERT INTO dbo.ExecutedScripts (name) VALUES (N'" +
                   names.back() + "');\nWAITFOR DELAY '00:00:00.080';\nSELECT 0;\nGO\n");
  }
  inst.write(directory + "/" + list, listText);
  return names;
}

// The script the state file names as the current one ("" when none), by file name.
std::string currentScript(const std::string& stateText) {
  std::smatch match;
  if (!std::regex_search(stateText, match, std::regex(R"re("currentScript": "[^"]*/([^"/]+)")re"))) return "";
  return match[1];
}

TEST(PeerCrashResume, KilledRunsResumeWithoutLosingOrRepeatingScripts) {
  std::string missing;
  if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
  ztest::TdsPeer peer;
  std::string reason;
  ASSERT_TRUE(peer.start(ztest::TdsPeer::Options(), reason)) << reason;

  ztest::PeerUpgrade inst(ZAREZODUD_CLI_PATH, true);
  std::vector<std::string> expected = {"create_table.sql"};
  inst.write(
      "crash/create_table.sql",
      "IF OBJECT_ID('dbo.ExecutedScripts') IS NULL CREATE TABLE dbo.ExecutedScripts (id INT IDENTITY(1,1) "
      "PRIMARY KEY, name NVARCHAR(256) NOT NULL);\nINSERT INTO dbo.ExecutedScripts (name) VALUES "
      "(N'create_table.sql');\nGO\n");
  inst.write("crash/first.lst", "create_table.sql\n");
  for (const auto& part :
       {addScripts(inst, "crash", "a.lst", "a", 18), addScripts(inst, "crash/sub", "s.lst", "s", 14),
        addScripts(inst, "crash", "p.lst", "p", 12)}) {
    expected.insert(expected.end(), part.begin(), part.end());
  }
  inst.write("phases.ini",
             ztest::readFile(inst.path("phases.ini")) +
                 "\n[Crash]\nDirectory = crash\nPreCommandType = SQL\n"
                 "PreCommand-CurRelListFileName = first.lst, a.lst\nSubModuleSections = CrashSub\n"
                 "PostCommandType = SQL\nPostCommand-CurRelListFileName = p.lst\n"
                 "[CrashSub]\nDirectory = crash/sub\nPreCommandType = SQL\n"
                 "PreCommand-CurRelListFileName = s.lst\n");

  const std::string statePath = inst.path("state/Corehub.state.json");
  const unsigned seed = static_cast<unsigned>(std::random_device{}());
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayMs(150, 900);

  std::multiset<std::string> interrupted;
  std::string killLog;
  int kills = 0;
  for (int round = 0; round < 10; ++round) {
    const bool resume = ztest::fileExists(statePath);
    const auto args = resume ? std::vector<std::string>{"run", "--resume", statePath}
                             : ztest::PeerUpgrade::runArgs("Crash", peer.port());
    const pid_t pid =
        ztest::startCommand(inst.invocation(args, peer.options().password), inst.path("runs.out"));
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
    ::kill(pid, SIGKILL);
    const ztest::CommandResult ended = ztest::waitCommand(pid);
    if (ended.signal != SIGKILL) {
      ASSERT_EQ(ended.exitCode, 0) << ztest::readFile(inst.path("runs.out"));
      break;  // finished before the kill struck
    }
    ++kills;
    const std::string current = ztest::fileExists(statePath) ? currentScript(ztest::readFile(statePath)) : "";
    if (!current.empty()) interrupted.insert(current);
    killLog += "kill " + std::to_string(kills) + " during " + (current.empty() ? "start-up" : current) + "\n";
  }
  SCOPED_TRACE(killLog);

  const auto final =
      inst.run(ztest::fileExists(statePath) ? std::vector<std::string>{"run", "--resume", statePath}
                                            : ztest::PeerUpgrade::runArgs("Crash", peer.port()),
               peer.options().password);
  ASSERT_EQ(final.exitCode, 0) << final.out << final.err << ztest::readFile(inst.path("runs.out"));

  std::string error;
  const auto rows =
      ztest::PeerUpgrade::queryPeer(peer, "Corehub", "SELECT name FROM ExecutedScripts ORDER BY id", &error);
  ASSERT_EQ(error, "");
  // Walk the table against the expected order: each row is the next script, or a repeat of the
  // one just before it, which must be a script that a kill interrupted.
  std::map<std::string, int> counts;
  std::size_t next = 0;
  for (const std::string& name : rows) {
    ++counts[name];
    if (next < expected.size() && name == expected[next]) {
      ++next;
      continue;
    }
    ASSERT_GT(next, 0u) << "unexpected first row " << name;
    ASSERT_EQ(name, expected[next - 1]) << "out of order after script " << next;
    EXPECT_GE(interrupted.count(name), 1u) << name << " ran again although no kill interrupted it";
  }
  EXPECT_EQ(next, expected.size()) << "scripts missing from the database";
  for (const auto& item : counts) {
    EXPECT_LE(item.second, 1 + static_cast<int>(interrupted.count(item.first))) << item.first;
  }
  EXPECT_GE(kills, 3) << "the kills must strike while the phase runs";
  RecordProperty("kills", kills);
  RecordProperty("rows", static_cast<int>(rows.size()));
}

}  // namespace
