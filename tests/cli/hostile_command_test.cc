// The zarezodud command on odd and hostile input: a NUL byte in the phase configuration, files
// saved with a byte-order mark, a --set before the phase, unreadable configuration files,
// parameter keys given twice, data rows without column names, and batch lists whose entries
// are listed but never started.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "db/db_queries.h"
#include "support/json_document.h"
#include "result_json.h"
#include "support/cli_installation.h"
#include "support/env_override.h"

namespace {

using namespace std::string_literals;
using ztest::CliInstallation;

zcli::JsonValue parsed(const std::string& text) {
  zcli::JsonValue value;
  std::string error;
  EXPECT_TRUE(zcli::parseJson(text, value, error)) << error << "\n" << text;
  return value;
}

// Phase "Top": one SQL list of two scripts.
void makeTree(CliInstallation& inst) {
  inst.addList("top", "main.lst", {"a.sql", "b.sql"});
  inst.addPhase("[Top]\nDirectory = top\nPreCommandType = SQL\nPreCommand-CurRelListFileName = main.lst\n");
  inst.writeParams();
}

TEST(HostileCommandTest, NulInThePhaseFileFailsValidateAndRunRunsNothing) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeTree(inst);
  // A NUL right after the list name: read as a C string the stage would lose its list and the
  // run would succeed having run nothing.
  inst.write("phases.ini",
             "[Top]\nDirectory = top\nPreCommandType = SQL\nPreCommand-CurRelListFileName = main.lst\0\n"s);
  const auto validated = inst.run({"validate", "--params", "params.ini", "Top"});
  EXPECT_EQ(validated.exitCode, 2) << validated.out << validated.err;
  EXPECT_NE(validated.out.find("[" + inst.path("phases.ini") + "] holds a NUL byte on line 4."),
            std::string::npos)
      << validated.out;
  const auto ran = inst.run(
      {"run", "--params", "params.ini", "Top", "--state-dir", "state", "--backend", "record:journal"});
  EXPECT_EQ(ran.exitCode, 2) << ran.out << ran.err;
  EXPECT_NE(ran.err.find("holds a NUL byte on line 4."), std::string::npos) << ran.err;
  EXPECT_EQ(ztest::readFile(inst.path("journal")), "");
}

TEST(HostileCommandTest, FilesSavedWithAByteOrderMarkAreRead) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeTree(inst);
  const std::string bom = "\xEF\xBB\xBF";
  inst.write("params.ini", bom + ztest::readFile(inst.path("params.ini")));
  inst.write("phases.ini", bom + ztest::readFile(inst.path("phases.ini")));
  inst.write("top/main.lst", bom + "a.sql\nb.sql\n");
  inst.write("ProductConfig.ini", bom + ztest::readFile(inst.path("ProductConfig.ini")));
  const auto validated = inst.run({"validate", "--params", "params.ini", "Top"});
  EXPECT_EQ(validated.exitCode, 0) << validated.out << validated.err;
  EXPECT_NE(validated.out.find("2 script(s) listed"), std::string::npos) << validated.out;
  const auto products = inst.run({"products", "--product-config", "ProductConfig.ini"});
  EXPECT_EQ(products.exitCode, 0) << products.out << products.err;
  EXPECT_NE(products.out.find("Corehub\tsection present"), std::string::npos) << products.out;
}

TEST(HostileCommandTest, SetTakesOneValueAndLeavesThePhaseAlone) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeTree(inst);
  const auto validated = inst.run({"validate", "--params", "params.ini", "--set", "DBname=Other", "Top"});
  EXPECT_EQ(validated.exitCode, 0) << validated.out << validated.err;
  const auto ran = inst.run({"run", "--params", "params.ini", "--set", "DBname=Other", "--set", "xmlOutput=0",
                             "Top", "--state-dir", "state", "--backend", "record:journal"});
  EXPECT_EQ(ran.exitCode, 0) << ran.out << ran.err;
  EXPECT_TRUE(ztest::fileExists(inst.path("state/Other.journal"))) << "the --set value reached the run";
  // A second value after one --set is no longer taken for it.
  const auto extra = inst.run({"validate", "--params", "params.ini", "--set", "DBname=A", "DBname=B", "Top"});
  EXPECT_EQ(extra.exitCode, 64) << extra.out << extra.err;
}

TEST(HostileCommandTest, UnreadableConfigurationAndTwiceGivenKeysAreFailuresNotUsageErrors) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeTree(inst);
  const auto missing = inst.run({"products", "--product-config", "absent.ini"});
  EXPECT_EQ(missing.exitCode, 2) << missing.err;
  EXPECT_NE(missing.err.find("absent.ini: cannot read the product configuration file"), std::string::npos)
      << missing.err;
  inst.write("products-nul.ini", "[SupportedProducts]\nProductName=Corehub\n[Corehub]\nDBName=A\0B\n"s);
  const auto nul = inst.run({"products", "--product-config", "products-nul.ini"});
  EXPECT_EQ(nul.exitCode, 2) << nul.out << nul.err;
  EXPECT_NE(nul.err.find("holds a NUL byte on line 4."), std::string::npos) << nul.err;

  inst.writeParams("DBname = First\nlogfile = logs/other.log\nDBname = Second\n");
  const auto twice = inst.run({"validate", "--params", "params.ini", "Top"});
  EXPECT_EQ(twice.exitCode, 2);
  EXPECT_NE(twice.err.find("[DBname] is given again; it was first given on line"), std::string::npos)
      << twice.err;
  EXPECT_EQ(inst.run({"validate", "--params", "absent.ini", "Top"}).exitCode, 2);
}

TEST(HostileCommandTest, ScanJsonNeverRepeatsAMemberName) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  auto record = [](const std::string& text) {
    return "12/07/26 10:00:00 SQLState:[01000] NativeError:[0] Message:[" + text +
           "] [RecNum:1, LineNum:1]\n";
  };
  inst.write("out.txt", record("###ERROR### rows") + record("###DATA### 1:,:2:,:3") +
                            record("###HEADER### a:,:b") + record("###DATA### 4:,:5:,:6"));
  const auto json = inst.run({"scan", "out.txt", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(json.out.find("\"\":"), std::string::npos) << json.out;
  const zcli::JsonValue result = parsed(json.out);
  const zcli::JsonValue& rows = *result.find("messages")->items.at(0).find("rows");
  ASSERT_EQ(rows.items.size(), 2u);
  std::vector<std::string> first, second;
  for (const auto& member : rows.items[0].members) first.push_back(member.first + "=" + member.second.text);
  for (const auto& member : rows.items[1].members) second.push_back(member.first + "=" + member.second.text);
  EXPECT_EQ(first, (std::vector<std::string>{"column1=1", "column2=2", "column3=3"}));
  EXPECT_EQ(second, (std::vector<std::string>{"a=4", "b=5", "b_2=6"}));
}

TEST(HostileCommandTest, UniqueCellKeysNameEveryCellOnce) {
  EXPECT_EQ(zcli::uniqueCellKeys({"", "", "x"}), (std::vector<std::string>{"column1", "column2", "x"}));
  EXPECT_EQ(zcli::uniqueCellKeys({"column2", "", "column2"}),
            (std::vector<std::string>{"column2", "column2_2", "column2_3"}));
  for (const auto& names : std::vector<std::vector<std::string>>{
           {"a", "a", "a_2", ""}, {"", "column1", ""}, {"b", "", "b_2", "b"}}) {
    const std::vector<std::string> keys = zcli::uniqueCellKeys(names);
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), names.size());
  }
}

TEST(HostileCommandTest, BatchAndExecutableEntriesAreReportedAsListedNotRun) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  inst.addList("top", "main.lst", {"a.sql"});
  inst.addList("top", "tools.lst", {"prepare.bat", "clean.bat"});
  inst.addPhase(
      "[Top]\nDirectory = top\nPreCommandType = BATCH\nPreCommand-CurRelListFileName = tools.lst\n"
      "PostCommandType = SQL\nPostCommand-CurRelListFileName = main.lst\n");
  inst.writeParams();
  const auto ran = inst.run(
      {"run", "--params", "params.ini", "Top", "--state-dir", "state", "--backend", "record:journal"});
  ASSERT_EQ(ran.exitCode, 0) << ran.out << ran.err;
  EXPECT_NE(ran.out.find("1 script(s) run"), std::string::npos) << ran.out;
  const zcli::JsonValue report = parsed(ztest::readFile(inst.path("state/Corehub-report.json")));
  std::vector<std::string> actions;
  for (const auto& list : report.find("lists")->items) {
    for (const auto& script : list.find("scripts")->items) {
      actions.push_back(script.stringOr("action", "?"));
      if (script.stringOr("action", "") == "listed") {
        EXPECT_EQ(script.find("succeeded"), nullptr) << "nothing was started, so nothing succeeded";
      }
    }
  }
  EXPECT_EQ(actions, (std::vector<std::string>{"listed", "listed", "run"}));
  EXPECT_EQ(report.find("totals")->intOr("run", -1), 1);
  EXPECT_EQ(report.find("totals")->intOr("listed", -1), 2);
  const auto plan = inst.run({"plan", "--params", "params.ini", "Top"});
  EXPECT_NE(plan.out.find("listed " + inst.path("top/prepare.bat") + " (not started)"), std::string::npos)
      << plan.out;
}

TEST(HostileCommandTest, CredentialsTooLongToReadBackAreRefusedNotReportedStored) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  ztest::EnvOverride root("ZAREZODUD_REGISTRY_DIR", inst.path("registry"));
  int stored = 0;
  int refused = 0;
  for (const size_t length : {100u, 2900u, 3000u, 3030u, 3040u, 3050u, 3066u, 3100u, 5000u}) {
    const std::string password(length, 'p');
    const auto result =
        inst.run({"credentials", "set", "--key", "Database", "--value", "sSQLUser", "--user", "tester"},
                 password + "\n");
    if (result.exitCode == 0) {
      // Whatever is reported stored reads back whole through the connection code's reader.
      ++stored;
      std::string dsn, instance, user, readBack, error;
      ASSERT_EQ(
          getDBUser("Base", "default", "Database", "", "", "sSQLUser", dsn, instance, user, readBack, error),
          1u)
          << length << ": " << error;
      EXPECT_EQ(user, "tester") << length;
      EXPECT_EQ(readBack, password) << length;
    } else {
      ++refused;
      EXPECT_EQ(result.exitCode, 2) << length << ": " << result.err;
      EXPECT_NE(result.err.find("too long for its readers to read back whole. Nothing was stored"),
                std::string::npos)
          << result.err;
      EXPECT_EQ(result.err.find(password), std::string::npos);
    }
  }
  EXPECT_GT(stored, 2);
  EXPECT_GT(refused, 1);
}

TEST(HostileCommandTest, DumpsSweepDryRunListsAndDeletesNothing) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  const std::string jobs = inst.path("product/iFieldAgent/JobResults");
  const std::string old = inst.write("product/iFieldAgent/JobResults/Corehub_old.dmp", "dump");
  const struct timespec times[2] = {{std::time(nullptr) - 40 * 86400, 0},
                                    {std::time(nullptr) - 40 * 86400, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, old.c_str(), times, 0), 0);
  const std::string young = inst.write("product/iFieldAgent/JobResults/ZI2_new.dmp", "dump");
  ASSERT_EQ(
      inst.run({"registry", "set", "Base", "sProductDirectory", "--string", inst.path("product")}).exitCode,
      0);
  const auto dry = inst.run({"dumps", "sweep", "--dry-run"});
  ASSERT_EQ(dry.exitCode, 0) << dry.err;
  EXPECT_NE(dry.out.find("would delete " + old + " (30 day(s) old or older)"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("keep         " + young), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("1 dump(s) would be deleted; nothing was deleted"), std::string::npos) << dry.out;
  EXPECT_TRUE(ztest::fileExists(old));
  ASSERT_EQ(inst.run({"dumps", "sweep"}).exitCode, 0);
  EXPECT_FALSE(ztest::fileExists(old));
  EXPECT_TRUE(ztest::fileExists(young));
  EXPECT_FALSE(jobs.empty());
}

}  // namespace
