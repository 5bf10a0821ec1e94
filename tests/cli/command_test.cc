// The zarezodud command run as a child process on generated installations: usage errors,
// validate, plan, run with the record backend, resume refusals, locking, scan, registry and
// credentials.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/run_journal.h"
#include "support/json_document.h"
#include "maint/progress_and_credentials.h"
#include "platform/fs/host_lock.h"
#include "support/cli_installation.h"
#include "support/env_override.h"

namespace {

using ztest::CliInstallation;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

zcli::JsonValue parsed(const std::string& text) {
  zcli::JsonValue value;
  std::string error;
  EXPECT_TRUE(zcli::parseJson(text, value, error)) << error << "\n" << text;
  return value;
}

// A phase "Top" with one pre-command list of count scripts, and a sub-module "Sub" with two.
std::vector<std::string> makeTree(CliInstallation& inst, int count) {
  std::vector<std::string> entries;
  for (int i = 0; i < count; ++i) entries.push_back("s" + std::to_string(1000 + i) + ".sql");
  inst.addList("top", "main.lst", entries);
  inst.addList("sub", "sub.lst", {"x1.sql", "x2.sql"});
  inst.addPhase(
      "[Top]\nDirectory = top\nPreCommandType = SQL\nPreCommand-CurRelListFileName = main.lst\n"
      "SubModuleSections = Sub\n[Sub]\nDirectory = sub\nPreCommandType = SQL\n"
      "PreCommand-CurRelListFileName = sub.lst\n");
  inst.writeParams();
  std::vector<std::string> paths;
  for (const std::string& e : entries) paths.push_back(inst.path("top/" + e));
  paths.push_back(inst.path("sub/x1.sql"));
  paths.push_back(inst.path("sub/x2.sql"));
  return paths;
}

bool waitForLines(const std::string& file, size_t count, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (lines(ztest::readFile(file)).size() >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

TEST(CommandTest, UsageErrorsExitWith64) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  inst.writeParams();
  const std::vector<std::vector<std::string>> cases = {
      {"validate"},
      {"validate", "--params", "params.ini"},
      {"validate", "--params", "params.ini", "Top", "--no-such-option"},
      {"bogus"},
      {"run"},
      {"run", "--params", "params.ini"},
      {"run", "--resume", "state.json", "Top"},
      {"run", "--params", "params.ini", "Top", "--force"},
      {"run", "--params", "params.ini", "Top", "--backend", "carrier-pigeon"},
      {"validate", "--params", "params.ini", "--set", "password=hunter2", "Top"},
      {"registry", "set", "Key", "value"},
      {"registry"},
      {"credentials", "set", "--key", "K", "--value", "V"},
      {"scan"},
  };
  for (const auto& args : cases) {
    const auto result = inst.run(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(result.exitCode, 64) << joined << "\n" << result.err;
    EXPECT_EQ(result.err.find("hunter2"), std::string::npos);
  }
  EXPECT_EQ(inst.run({"run", "--help"}).exitCode, 0);
  EXPECT_NE(inst.run({"run", "--help"}).out.find("Example"), std::string::npos);
}

TEST(CommandTest, ValidateNamesTheFileOfEachProblem) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeTree(inst, 3);
  auto ok = inst.run({"validate", "--params", "params.ini", "Top"});
  EXPECT_EQ(ok.exitCode, 0) << ok.out << ok.err;
  EXPECT_NE(ok.out.find("Phase [Top] is valid: 5 script(s)"), std::string::npos) << ok.out;

  inst.write("top/main.lst", "s1000.sql\nmissing.sql\nnotes.txt\n");
  const auto bad = inst.run({"validate", "--params", "params.ini", "Top"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.out.find(inst.path("top/missing.sql") + ": Script File [" + inst.path("top/missing.sql") +
                         "] does not exist."),
            std::string::npos)
      << bad.out;
  EXPECT_NE(bad.out.find(inst.path("top/main.lst") + ": Invalid filename extension [txt]"),
            std::string::npos);

  const auto missing = inst.run({"validate", "--params", "params.ini", "Nowhere"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.out.find(inst.path("phases.ini") + ": Missing Phase [Nowhere]."), std::string::npos);
}

TEST(CommandTest, OverLongParameterValuesAreRefused) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeTree(inst, 1);
  const auto result =
      inst.run({"validate", "--params", "params.ini", "--set", "DBname=" + std::string(3000, 'd'), "Top"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("[DBname] is 3000 bytes long"), std::string::npos) << result.err;
  inst.writeParams("ServicePackPrefix = " + std::string(2048, 'p') + "\n");
  const auto fromFile = inst.run({"plan", "--params", "params.ini", "Top"});
  EXPECT_EQ(fromFile.exitCode, 2);
  EXPECT_NE(fromFile.err.find(inst.paramsFile() + ":13"), std::string::npos) << fromFile.err;
}

TEST(CommandTest, PlanListsEveryScriptInOrderAndLeavesNoTrace) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  const auto paths = makeTree(inst, 3);
  const auto text = inst.run({"plan", "--params", "params.ini", "Top"});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  size_t at = 0;
  for (const std::string& path : paths) {
    const size_t found = text.out.find("run  " + path, at);
    ASSERT_NE(found, std::string::npos) << path << "\n" << text.out;
    at = found;
  }

  const auto json = inst.run({"plan", "--params", "params.ini", "Top", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const zcli::JsonValue root = parsed(json.out);
  ASSERT_NE(root.find("phases"), nullptr);
  ASSERT_EQ(root.find("phases")->items.size(), 2u);
  EXPECT_EQ(root.find("phases")->items[1].text, "Sub");
  EXPECT_EQ(root.find("totals")->intOr("run", -1), 5);
  EXPECT_EQ(root.find("lists")->items[0].stringOr("list", ""), "main.lst");
  // No database credentials were given; no logs or output files were left behind.
  EXPECT_FALSE(ztest::fileExists(inst.path("logs")));
  EXPECT_FALSE(ztest::fileExists(inst.path("output")));
}

TEST(CommandTest, RunWithTheRecordBackendJournalsScriptsAndWritesReports) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  const auto paths = makeTree(inst, 4);
  const auto result = inst.run(
      {"run", "--params", "params.ini", "Top", "--state-dir", "state", "--backend", "record:journal"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_EQ(lines(ztest::readFile(inst.path("journal"))), paths);
  EXPECT_NE(result.out.find("[6/6] done"), std::string::npos) << result.out;

  const zcli::JsonValue report = parsed(ztest::readFile(inst.path("state/Corehub-report.json")));
  EXPECT_EQ(report.find("totals")->intOr("run", -1), 6);
  EXPECT_EQ(report.intOr("exitCode", -1), 0);
  EXPECT_EQ(report.stringOr("scriptResults", ""), inst.path("state/Corehub-report.xml"));
  EXPECT_EQ(ztest::readFile(inst.path("state/Corehub-report.xml")).rfind("<?xml", 0), 0u);

  RunJournalReplay journal;
  std::string error;
  ASSERT_TRUE(RunJournal::read(inst.path("state/Corehub.journal"), journal, error)) << error;
  EXPECT_TRUE(journal.runFinished);
  EXPECT_TRUE(journal.runSucceeded);
  EXPECT_EQ(journal.identity.phase, "Top");
  EXPECT_EQ(journal.identity.paramsFile, inst.paramsFile());
  ASSERT_EQ(journal.scripts.size(), paths.size());
  EXPECT_EQ(journal.scripts.back().path, paths.back());
  EXPECT_TRUE(journal.scripts.back().succeeded());
  EXPECT_EQ(journal.scripts.back().position.describe(), "Top > Sub > stage 1 > list sub.lst > x2.sql");

  // A finished run does not block the next run; resuming it has nothing to do.
  const auto again = inst.run({"run", "--resume", "state/Corehub.journal"});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_NE(again.out.find("Nothing to resume"), std::string::npos) << again.out;
  EXPECT_EQ(lines(ztest::readFile(inst.path("journal"))).size(), paths.size());
  EXPECT_EQ(inst.run({"run", "--params", "params.ini", "Top", "--state-dir", "state", "--backend",
                      "record:journal"})
                .exitCode,
            0);
  EXPECT_EQ(lines(ztest::readFile(inst.path("journal"))).size(), 2 * paths.size());
}

TEST(CommandTest, SecondRunOnTheSameDatabaseIsRefusedAtOnce) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeTree(inst, 2);
  ASSERT_EQ(::mkdir(inst.path("state").c_str(), 0755), 0);
  zarezodud::HostLock held;
  std::string error;
  ASSERT_EQ(held.acquire(inst.path("state/Corehub.lock"), error), zarezodud::HostLock::Result::kAcquired);
  const auto started = std::chrono::steady_clock::now();
  const auto result = inst.run(
      {"run", "--params", "params.ini", "Top", "--state-dir", "state", "--backend", "record:journal"});
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("being upgraded by another run"), std::string::npos) << result.err;
  EXPECT_FALSE(ztest::fileExists(inst.path("journal")) && !ztest::readFile(inst.path("journal")).empty());
}

// Starts a slow run, kills it once some scripts are recorded, and returns the journal's path.
std::string interruptedRun(CliInstallation& inst) {
  const pid_t pid = ztest::startCommand(inst.invocation({"run", "--params", "params.ini", "Top", "--state-dir",
                                                   "state", "--backend", "record:journal"},
                                                  {{"ZAREZODUD_RECORD_DELAY_MS", "20"}}),
                                        inst.path("run.out"));
  EXPECT_TRUE(waitForLines(inst.path("journal"), 5, std::chrono::seconds(30)));
  ::kill(pid, SIGKILL);
  EXPECT_EQ(ztest::waitCommand(pid).signal, SIGKILL);
  return inst.path("state/Corehub.journal");
}

// Every journal write of the record backend fails on /dev/full, so the first script fails and
// ends the phase; returns the run's result.
ztest::CommandResult runFailingAtTheFirstScript(CliInstallation& inst) {
  return inst.run(
      {"run", "--params", "params.ini", "Top", "--state-dir", "state", "--backend", "record:/dev/full"});
}

TEST(CommandTest, ResumeRefusesAChangedScriptUnlessForced) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  const auto paths = makeTree(inst, 6);
  const std::string statePath = inst.path("state/Corehub.journal");
  ASSERT_EQ(runFailingAtTheFirstScript(inst).exitCode, 2);

  const auto fresh = inst.run(
      {"run", "--params", "params.ini", "Top", "--state-dir", "state", "--backend", "record:journal"});
  EXPECT_EQ(fresh.exitCode, 2);
  EXPECT_NE(fresh.err.find("--resume " + statePath), std::string::npos) << fresh.err;

  { std::ofstream(paths[0], std::ios::app) << "-- edited\n"; }
  const auto refused = inst.run({"run", "--resume", statePath, "--backend", "record:journal"});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find(statePath), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find(paths[0] + ", changed"), std::string::npos) << refused.err;
  EXPECT_EQ(ztest::readFile(inst.path("journal")), "") << "nothing may run when the resume is refused";

  const auto forced = inst.run({"run", "--resume", statePath, "--backend", "record:journal", "--force"});
  ASSERT_EQ(forced.exitCode, 0) << forced.out << forced.err;
  EXPECT_EQ(lines(ztest::readFile(inst.path("journal"))), paths);
}

TEST(CommandTest, ResumeRefusesParametersOfAnotherDatabase) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeTree(inst, 60);
  const std::string statePath = interruptedRun(inst);
  inst.writeParams("DBname = Elsewhere\n");
  const auto refused = inst.run({"run", "--resume", statePath});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find("DBname: [Corehub] now [Elsewhere]"), std::string::npos) << refused.err;
  inst.writeParams("SQLInstance = elsewhere\n");
  const auto forced = inst.run({"run", "--resume", statePath, "--force"});
  EXPECT_EQ(forced.exitCode, 2) << "--force does not take a run to another server";
  EXPECT_NE(forced.err.find("SQLInstance: [localhost] now [elsewhere]"), std::string::npos) << forced.err;
}

TEST(CommandTest, FailedRunExitsWith2AndResumeRetriesTheFailedScript) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  const auto paths = makeTree(inst, 3);
  const auto failed = runFailingAtTheFirstScript(inst);
  EXPECT_EQ(failed.exitCode, 2) << failed.out << failed.err;
  EXPECT_NE(failed.out.find("zarezodud run --resume " + inst.path("state/Corehub.journal")),
            std::string::npos)
      << failed.out;
  RunJournalReplay journal;
  std::string error;
  ASSERT_TRUE(RunJournal::read(inst.path("state/Corehub.journal"), journal, error)) << error;
  EXPECT_TRUE(journal.runFinished);
  EXPECT_FALSE(journal.runSucceeded);
  ASSERT_EQ(journal.scripts.size(), 1u);
  EXPECT_EQ(journal.scripts[0].path, paths[0]);
  EXPECT_TRUE(journal.scripts[0].finished);
  EXPECT_FALSE(journal.scripts[0].succeeded());

  const auto resumed = inst.run({"run", "--resume", "state/Corehub.journal", "--backend", "record:journal"});
  ASSERT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
  EXPECT_EQ(lines(ztest::readFile(inst.path("journal"))), paths);
}

TEST(CommandTest, ScanTurnsOutputIntoAResultRecord) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  inst.write("out.txt",
             "12/07/26 10:00:00 SQLState:[01000] NativeError:[0] Message:[###DESCRIPTION### Space check] "
             "[RecNum:1, LineNum:2]\n"
             "12/07/26 10:00:01 SQLState:[01000] NativeError:[0] Message:[###ERROR### disk \"full\"] "
             "[RecNum:1, LineNum:4]\n"
             "12/07/26 10:00:02 SQLState:[01000] NativeError:[0] Message:[###ADVICE### grow it] "
             "[RecNum:1, LineNum:5]\n");
  const auto json = inst.run({"scan", "out.txt", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const zcli::JsonValue record = parsed(json.out);
  EXPECT_EQ(record.stringOr("name", ""), "out");
  EXPECT_EQ(record.stringOr("description", ""), "Space check");
  const zcli::JsonValue& message = record.find("messages")->items.at(0);
  EXPECT_EQ(message.stringOr("severity", ""), "error");
  EXPECT_EQ(message.stringOr("message", ""), "disk \"full\"");
  EXPECT_EQ(message.stringOr("advice", ""), "grow it");
  const auto xml = inst.run({"scan", "out.txt"});
  EXPECT_NE(xml.out.find("<message group=\"105\" kind=\"2\">"), std::string::npos) << xml.out;
  EXPECT_EQ(inst.run({"scan", "absent.txt"}).exitCode, 2);
}

TEST(CommandTest, RegistrySetGetAndList) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  EXPECT_EQ(inst.run({"registry", "set", "Database", "nDBdumpsDaysOlder", "--number", "14"}).exitCode, 0);
  EXPECT_EQ(inst.run({"registry", "set", "Database", "sNote", "--string", "tab\there"}).exitCode, 0);
  EXPECT_EQ(inst.run({"registry", "set", "Other", "sName", "--string", "x", "--focus", "Instance2"}).exitCode,
            0);
  EXPECT_EQ(inst.run({"registry", "get", "Database", "nDBdumpsDaysOlder"}).out, "14\n");
  const auto list = inst.run({"registry", "list", "Database"});
  EXPECT_EQ(list.out, "Database\tnDBdumpsDaysOlder\tnumber\t14\nDatabase\tsNote\tstring\t\"tab\\there\"\n");
  EXPECT_EQ(inst.run({"registry", "list", "--focus", "Instance2"}).out, "Other\tsName\tstring\t\"x\"\n");
  const auto missing = inst.run({"registry", "get", "Database", "sAbsent"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("sAbsent"), std::string::npos);
}

TEST(CommandTest, CredentialsAreStoredEncryptedFromStandardInput) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  const auto stored = inst.run(
      {"credentials", "set", "--key", "Database", "--value", "sSQLUser", "--user", "tester"}, "S3cr3t!\n");
  ASSERT_EQ(stored.exitCode, 0) << stored.err;
  EXPECT_EQ(stored.out.find("S3cr3t!"), std::string::npos);
  EXPECT_EQ(stored.err.find("S3cr3t!"), std::string::npos);
  const std::string encrypted = inst.run({"registry", "get", "Database", "sSQLUser"}).out;
  ASSERT_EQ(encrypted.rfind("v1:", 0), 0u) << encrypted;
  EXPECT_EQ(ztest::readFile(inst.path("registry/default.reg")).find("S3cr3t!"), std::string::npos);

  ztest::EnvOverride root("ZAREZODUD_REGISTRY_DIR", inst.path("registry"));
  char plain[4096] = {0};
  ASSERT_EQ(getDecryptedUserandPwd(encrypted.substr(0, encrypted.size() - 1).c_str(), plain), 0);
  EXPECT_STREQ(plain, "06testerS3cr3t!");

  const auto empty = inst.run({"credentials", "set", "--key", "Database", "--value", "v", "--user", "u"}, "");
  EXPECT_EQ(empty.exitCode, 2);
  const auto longUser =
      inst.run({"credentials", "set", "--key", "K", "--value", "v", "--user", std::string(100, 'u')}, "pw\n");
  EXPECT_EQ(longUser.exitCode, 64);
}

}  // namespace
