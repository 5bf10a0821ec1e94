// Crash safety of run: a 1,000-script phase (two pre-command lists, two sub-modules, a
// post-command list) is killed with SIGKILL at 20 random moments and resumed from its run
// journal each time. The journal of the record backend must then show every script executed, in
// order, none more than twice, and a repeat only of the script that was last journaled when a
// kill struck.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "support/cli_installation.h"
#include "support/test_seed.h"

namespace {

std::vector<std::string> journalLines(const std::string& path) {
  std::vector<std::string> out;
  std::istringstream in(ztest::readFile(path));
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

std::vector<std::string> addScripts(ztest::CliInstallation& inst, const std::string& dir,
                                    const std::string& list, const std::string& prefix, int count) {
  std::vector<std::string> entries, paths;
  for (int i = 0; i < count; ++i) {
    entries.push_back(prefix + std::to_string(1000 + i) + ".sql");
    paths.push_back(inst.path(dir + "/" + entries.back()));
  }
  inst.addList(dir, list, entries);
  return paths;
}

TEST(CrashResumeTest, KilledRunsResumeWithoutLosingOrRepeatingScripts) {
  ztest::CliInstallation inst(ZAREZODUD_CLI_PATH);
  std::vector<std::string> expected;
  for (const auto& part :
       {addScripts(inst, "top", "a.lst", "a", 250), addScripts(inst, "top", "b.lst", "b", 150),
        addScripts(inst, "s1", "s1.lst", "c", 200), addScripts(inst, "s2", "s2a.lst", "d", 100),
        addScripts(inst, "s2", "s2b.lst", "e", 100), addScripts(inst, "top", "p.lst", "f", 200)}) {
    expected.insert(expected.end(), part.begin(), part.end());
  }
  ASSERT_EQ(expected.size(), 1000u);
  inst.addPhase(
      "[Big]\nDirectory = top\nPreCommandType = SQL\nPreCommand-CurRelListFileName = a.lst, b.lst\n"
      "SubModuleSections = S1, S2\nPostCommandType = SQL\nPostCommand-CurRelListFileName = p.lst\n"
      "[S1]\nDirectory = s1\nPreCommandType = SQL\nPreCommand-CurRelListFileName = s1.lst\n"
      "[S2]\nDirectory = s2\nPreCommandType = SQL\nPreCommand-CurRelListFileName = s2a.lst, s2b.lst\n");
  inst.writeParams();

  const std::string journal = inst.path("journal");
  const std::string statePath = inst.path("state/Corehub.journal");
  const std::vector<std::string> freshArgs = {"run",         "--params", "params.ini", "Big",
                                              "--state-dir", "state",    "--backend",  "record:" + journal};
  const std::vector<std::pair<std::string, std::string>> env = {{"ZAREZODUD_RECORD_DELAY_MS", "2"}};
  const unsigned seed = ztest::testSeed(20261208);
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayMs(40, 250);

  const auto started = std::chrono::steady_clock::now();
  std::multiset<std::string> lastAtKill;
  std::string killLog;  // shown when a check fails
  int kills = 0;
  for (int round = 0; round < 20; ++round) {
    const bool resume = ztest::fileExists(statePath);
    const auto args = resume ? std::vector<std::string>{"run", "--resume", statePath} : freshArgs;
    const pid_t pid = ztest::startCommand(inst.invocation(args, env), inst.path("runs.out"));
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
    ::kill(pid, SIGKILL);
    const ztest::CommandResult ended = ztest::waitCommand(pid);
    if (ended.signal != SIGKILL) {
      ASSERT_EQ(ended.exitCode, 0) << ztest::readFile(inst.path("runs.out"));
      break;  // finished before the kill struck
    }
    ++kills;
    const auto sofar = journalLines(journal);
    if (!sofar.empty()) lastAtKill.insert(sofar.back());
    killLog += "kill " + std::to_string(kills) + (resume ? " (resumed run)" : " (fresh run)") +
               " at journal line " + std::to_string(sofar.size()) +
               (sofar.empty() ? "" : ": " + sofar.back()) + "\n";
  }

  const auto final = inst.run(
      ztest::fileExists(statePath) ? std::vector<std::string>{"run", "--resume", statePath} : freshArgs, "",
      env);
  ASSERT_EQ(final.exitCode, 0) << final.out << final.err;
  RecordProperty("seconds", static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(
                                                 std::chrono::steady_clock::now() - started)
                                                 .count()));

  SCOPED_TRACE(killLog);
  // Walk the journal against the expected order: each line is the next script, or a repeat of
  // the one just before it, which must be a script that was last in the journal at a kill.
  const auto lines = journalLines(journal);
  std::map<std::string, int> counts;
  size_t next = 0;
  int repeats = 0;
  for (const std::string& line : lines) {
    ++counts[line];
    if (next < expected.size() && line == expected[next]) {
      ++next;
      continue;
    }
    ASSERT_GT(next, 0u) << "unexpected first line " << line;
    ASSERT_EQ(line, expected[next - 1]) << "out of order at script " << next;
    ASSERT_TRUE(lastAtKill.count(line) > 0) << line << " repeated without being interrupted";
    ++repeats;
  }
  EXPECT_EQ(next, expected.size()) << "scripts missing from the journal";
  for (const auto& item : counts) EXPECT_LE(item.second, 2) << item.first;
  EXPECT_LE(repeats, kills);
  EXPECT_GE(kills, 1);
  RecordProperty("kills", kills);
  RecordProperty("repeats", repeats);
}

}  // namespace
