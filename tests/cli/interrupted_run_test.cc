// zarezodud run interrupted by SIGINT on the record backend, whose scripts "run" for
// ZAREZODUD_RECORD_DELAY_MS and can be cancelled like a batch on a server: the command cancels
// the running script, ends with exit code 2 at once, records the script as interrupted in an
// undamaged journal, marks the report and says how to resume; the resume runs the interrupted
// script and the rest. (tests/e2e has the same against the test peer, with SIGTERM and a second
// signal during the stop.)
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/run_journal.h"
#include "support/cli_installation.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

class InterruptedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    inst_.addList("top", "steps.lst", {"one.sql", "two.sql", "three.sql"});
    inst_.addPhase(
        "[Steps]\nDirectory = top\nPreCommandType = SQL\nPreCommand-CurRelListFileName = steps.lst\n");
    inst_.writeParams();
  }

  std::string script(const std::string& name) const { return inst_.path("top/" + name); }
  std::vector<std::string> recorded() const { return lines(ztest::readFile(record_)); }

  // Starts a run whose scripts each take delayMs.
  pid_t start(int delayMs) {
    return ztest::startCommand(inst_.invocation({"run", "--params", "params.ini", "Steps", "--state-dir",
                                                 "state", "--backend", "record:" + record_},
                                                {{"ZAREZODUD_RECORD_DELAY_MS", std::to_string(delayMs)}}),
                               output_);
  }
  // Waits (at most 10 s) until the run journal holds the start record of script.
  bool waitForStart(const std::string& name) {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until) {
      const std::string record = "t=start\tphase=Steps\tstage=1\tlist=1:steps.lst\tentry=1:" + name + "\t";
      if (ztest::readFile(journal_).find(record) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // Waits for the command; seconds receives how long that took.
  ztest::CommandResult finish(pid_t pid, double& seconds) {
    const auto from = Clock::now();
    const ztest::CommandResult result = ztest::waitCommand(pid);
    seconds = std::chrono::duration<double>(Clock::now() - from).count();
    return result;
  }
  RunJournalReplay replay() {
    RunJournalReplay out;
    std::string error;
    EXPECT_TRUE(RunJournal::read(journal_, out, error)) << error;
    return out;
  }
  const JournalScript* journaled(const RunJournalReplay& replay, const std::string& name) {
    for (const JournalScript& s : replay.scripts) {
      if (s.path == script(name)) return &s;
    }
    return nullptr;
  }
  ztest::CommandResult resume() {
    return inst_.run({"run", "--resume", journal_}, "", {{"ZAREZODUD_RECORD_DELAY_MS", "0"}});
  }

  ztest::CliInstallation inst_{ZAREZODUD_CLI_PATH};
  const std::string record_ = inst_.path("record");
  const std::string journal_ = inst_.path("state/Corehub.journal");
  const std::string output_ = inst_.path("run.out");
};

TEST_F(InterruptedRun, SigintCancelsTheRunningScriptAndTheResumeRunsItAndTheRest) {
  const pid_t pid = start(30000);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(waitForStart("one.sql")) << ztest::readFile(output_);
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  double seconds = 0;
  const ztest::CommandResult result = finish(pid, seconds);
  const std::string out = ztest::readFile(output_);
  ASSERT_EQ(result.signal, 0) << "ended by the signal itself\n" << out;
  EXPECT_EQ(result.exitCode, 2) << out;
  EXPECT_LT(seconds, 5) << "the script was not cancelled\n" << out;
  EXPECT_NE(out.find("zarezodud: interrupted (SIGINT): cancelling the running script"), std::string::npos)
      << out;
  EXPECT_NE(
      out.find("The run was interrupted by SIGINT. To continue where it stopped: zarezodud run --resume " +
               journal_ + "\n"),
      std::string::npos)
      << out;
  EXPECT_EQ(out.find("after fixing the cause"), std::string::npos) << out;
  EXPECT_TRUE(recorded().empty()) << "the cancelled script did not run to its end";

  const RunJournalReplay journal = replay();
  EXPECT_EQ(journal.ignoredBytes, 0u);
  EXPECT_TRUE(journal.runFinished);
  EXPECT_FALSE(journal.runSucceeded);
  const JournalScript* one = journaled(journal, "one.sql");
  ASSERT_NE(one, nullptr);
  EXPECT_TRUE(one->finished);
  EXPECT_EQ(one->result, JournalScriptResult::kInterrupted);
  EXPECT_EQ(journaled(journal, "two.sql"), nullptr) << "nothing after the interrupted script started";

  const std::string report = ztest::readFile(inst_.path("state/Corehub-report.json"));
  EXPECT_NE(report.find("\"interrupted\": true,\n  \"signal\": \"SIGINT\""), std::string::npos) << report;
  const std::string logs = ztest::readFile(inst_.path("logs/phase.log"));
  EXPECT_NE(logs.find("Script [" + script("one.sql") + "] was cancelled"), std::string::npos) << logs;
  EXPECT_NE(logs.find("interrupted by SIGINT"), std::string::npos) << logs;

  const ztest::CommandResult resumed = resume();
  EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
  EXPECT_EQ(recorded(),
            (std::vector<std::string>{script("one.sql"), script("two.sql"), script("three.sql")}));
  EXPECT_NE(ztest::readFile(inst_.path("state/Corehub-report.json")).find("\"interrupted\": false"),
            std::string::npos);
}

}  // namespace
