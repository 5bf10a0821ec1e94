// The commands on script contents: zarezodud lint (examples clean, a tree of bad scripts with
// each finding, exit codes, JSON), validate --lint, and the --var / --script-codepage options
// of run, plan and validate (usage errors, the variable mode at work, kept for a resume).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/json_document.h"
#include "engine/run_journal.h"
#include "run_state.h"
#include "support/cli_installation.h"

namespace {

using ztest::CliInstallation;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (std::size_t eol = text.find('\n'); eol != std::string::npos; eol = text.find('\n', from)) {
    out.push_back(text.substr(from, eol - from));
    from = eol + 1;
  }
  if (from < text.size()) out.push_back(text.substr(from));
  return out;
}

// A phase "Bad" whose scripts each hold one kind of problem, in a list per release and a
// sub-module.
void makeBadTree(CliInstallation& inst) {
  inst.write("bad/bom.sql", "\xEF\xBB\xBFSELECT 1\n");
  inst.write("bad/latin1.sql", "SELECT 1\n-- caf\xE9\n");
  inst.write("bad/go.sql", "SELECT 1\nGO /* done */\nSELECT 2\n");
  inst.write("bad/open.sql", "SELECT 'it''s\nGO\n");
  inst.write("bad/sqlcmd.sql", ":setvar x 1\nSELECT '$(x)'\n");
  inst.write("bad/empty.sql", "");
  inst.write("bad/rel15.sql", std::string("\xFF\xFEG\0O\0\n\0X\0\n\0", 12));
  inst.write("bad/old.lst", "bom.sql\nlatin1.sql\n");
  inst.write("bad/mid.lst", "rel15.sql\n");
  inst.write("bad/cur.lst", "go.sql\nopen.sql\n# comment\nmissing.sql\n");
  inst.write("sub/sub.lst", "sqlcmd.sql\n../bad/empty.sql\n");
  inst.write("sub/sqlcmd.sql", ":setvar x 1\nSELECT '$(x)'\n");
  inst.addPhase(
      "[Bad]\nDirectory = bad\nPreCommandType = SQL\nPreCommand-PreLastRelListFileName = old.lst\n"
      "PreCommand-LastRelListFileName = mid.lst\nPreCommand-CurRelListFileName = cur.lst\n"
      "SubModuleSections = Sub\n[Sub]\nDirectory = sub\nPreCommandType = SQL\n"
      "PreCommand-CurRelListFileName = sub.lst\n");
  inst.writeParams();
}

TEST(ScriptCommandsTest, LintOnTheExamplesIsClean) {
  for (const char* params : {"examples/params.ini", "examples/peer/params.ini"}) {
    for (const char* phase : {"PreUpgrade", "UpgradeDB"}) {
      CliInstallation inst(ZAREZODUD_CLI_PATH);
      const auto result =
          inst.run({"lint", "--params", std::string(ZAREZODUD_SOURCE_DIR) + "/" + params, phase});
      EXPECT_EQ(result.exitCode, 0) << params << " " << phase << "\n" << result.out << result.err;
      const std::vector<std::string> lines = linesOf(result.out);
      ASSERT_EQ(lines.size(), 1u) << result.out;
      EXPECT_NE(lines[0].find("script(s) checked: 0 error(s), 0 warning(s), 0 note(s)."), std::string::npos);
    }
  }
}

TEST(ScriptCommandsTest, LintReportsEveryBadScriptOfEveryReleaseAndSubModule) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeBadTree(inst);
  const auto result = inst.run({"lint", "--params", "params.ini", "Bad"});
  EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
  const std::string b = inst.path("bad") + "/";
  const std::string s = inst.path("sub") + "/";
  const std::vector<std::string> expected = {
      b + "bom.sql:1:1: info: UTF-8 byte-order mark: it is dropped before the text is sent",
      b + "latin1.sql:2:7: error: byte offset 15: not valid UTF-8 (byte 0xE9); save the file as UTF-8, or "
          "name its "
          "code page with --script-codepage or ScriptCodePage=; nothing of the script is sent",
      b + "rel15.sql:1:1: info: UTF-16 LE with byte-order mark: decoded to UTF-8 before it is sent",
      b + "go.sql:2:1: error: [GO /* done */] is not a valid batch separator (GO, optionally a positive "
          "repeat "
          "count, optionally a -- comment); the script would fail before anything of it is sent",
      b + "open.sql:1:8: error: unterminated string literal: it runs to the end of the script, so the batch "
          "will "
          "not parse",
      b + "open.sql:2:1: warning: [GO] stands inside the string literal opened at line 1, column 8: it does "
          "not "
          "split the batch",
      b + "missing.sql:0:0: error: cannot be read: cannot open [" + b +
          "missing.sql]: No such file or directory",
      s + "sqlcmd.sql:1:1: warning: sqlcmd command [:setvar x 1] is sent to the server as it is: the sqlcmd "
          "variable mode is off (turn it on with --var or SqlcmdVariables=)",
      s + "sqlcmd.sql:2:9: warning: [$(x)] is sent to the server as it is: the sqlcmd variable mode is off "
          "(turn "
          "it on with --var or SqlcmdVariables=)",
      s + "../bad/empty.sql:1:1: warning: nothing is sent: the script holds no statement (it is empty, or "
          "only "
          "blanks and comments, after decoding)",
      "8 script(s) checked: 4 error(s), 4 warning(s), 2 note(s).",
  };
  EXPECT_EQ(linesOf(result.out), expected) << result.out;

  // With a code page, the variable mode on and the bad scripts gone: notes only, exit 0.
  inst.write("bad/cur.lst", "rel15.sql\n");
  inst.write("sub/sub.lst", "sqlcmd.sql\n");
  inst.write("bad/old.lst", "latin1.sql\n");
  const auto clean =
      inst.run({"lint", "--params", "params.ini", "Bad", "--script-codepage", "1252", "--var", "y=2"});
  EXPECT_EQ(clean.exitCode, 0) << clean.out << clean.err;
  EXPECT_NE(clean.out.find("3 script(s) checked: 0 error(s), 0 warning(s), 2 note(s)."), std::string::npos)
      << clean.out;
}

TEST(ScriptCommandsTest, LintWarningsExitWith1AndJsonCarriesEachFinding) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  inst.write("w/a.sql", "SELECT '$(x)'\n");
  inst.write("w/w.lst", "a.sql\n");
  inst.addPhase("[W]\nDirectory = w\nPreCommandType = SQL\nPreCommand-CurRelListFileName = w.lst\n");
  inst.writeParams();
  EXPECT_EQ(inst.run({"lint", "--params", "params.ini", "W"}).exitCode, 1);
  const auto result = inst.run({"lint", "--params", "params.ini", "W", "--json"});
  EXPECT_EQ(result.exitCode, 1);
  zcli::JsonValue value;
  std::string error;
  ASSERT_TRUE(zcli::parseJson(result.out, value, error)) << error << result.out;
  EXPECT_EQ(value.stringOr("phase", ""), "W");
  EXPECT_EQ(value.intOr("scripts", -1), 1);
  EXPECT_EQ(value.intOr("warnings", -1), 1);
  EXPECT_EQ(value.intOr("errors", -1), 0);
  const zcli::JsonValue* findings = value.find("findings");
  ASSERT_NE(findings, nullptr);
  ASSERT_EQ(findings->items.size(), 1u);
  const zcli::JsonValue& f = findings->items[0];
  EXPECT_EQ(f.stringOr("file", ""), inst.path("w/a.sql"));
  EXPECT_EQ(f.intOr("line", -1), 1);
  EXPECT_EQ(f.intOr("column", -1), 9);
  EXPECT_EQ(f.stringOr("severity", ""), "warning");
  // The variable mode on with the variable defined: clean.
  EXPECT_EQ(inst.run({"lint", "--params", "params.ini", "W", "--var", "x=1"}).exitCode, 0);
  // Defined in the parameter file instead.
  inst.writeParams("SqlcmdVariables = x=1\n");
  EXPECT_EQ(inst.run({"lint", "--params", "params.ini", "W"}).exitCode, 0);
}

TEST(ScriptCommandsTest, ValidateWithLintAddsTheFindings) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeBadTree(inst);
  inst.write("bad/cur.lst", "go.sql\n");
  inst.write("sub/sub.lst", "sqlcmd.sql\n");
  inst.write("bad/old.lst", "bom.sql\n");
  // Plain validation looks at files, not contents.
  const auto plain = inst.run({"validate", "--params", "params.ini", "Bad"});
  EXPECT_EQ(plain.exitCode, 0) << plain.out << plain.err;
  const auto linted = inst.run({"validate", "--params", "params.ini", "Bad", "--lint"});
  EXPECT_EQ(linted.exitCode, 2) << linted.out;
  EXPECT_NE(linted.out.find(inst.path("bad/go.sql") + ":2:1: error: [GO /* done */]"), std::string::npos)
      << linted.out;
  EXPECT_NE(linted.out.find("but the lint found errors in them"), std::string::npos) << linted.out;
  inst.write("bad/cur.lst", "bom.sql\n");
  const auto warned = inst.run({"validate", "--params", "params.ini", "Bad", "--lint"});
  EXPECT_EQ(warned.exitCode, 1) << warned.out;
}

TEST(ScriptCommandsTest, BadScriptOptionsAreUsageOrParameterErrors) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  makeBadTree(inst);
  for (const std::string command : {"lint", "validate", "plan", "run"}) {
    const auto badVar = inst.run({command, "--params", "params.ini", "Bad", "--var", "1x=2"});
    EXPECT_EQ(badVar.exitCode, 64) << command << badVar.err;
    EXPECT_NE(badVar.err.find("--var [1x] is not a scripting variable name"), std::string::npos)
        << badVar.err;
    const auto noValue = inst.run({command, "--params", "params.ini", "Bad", "--var", "x"});
    EXPECT_EQ(noValue.exitCode, 64) << command;
    const auto badPage = inst.run({command, "--params", "params.ini", "Bad", "--script-codepage", "klingon"});
    EXPECT_EQ(badPage.exitCode, 2) << command;
    EXPECT_NE(badPage.err.find("code page [klingon] is not known"), std::string::npos) << badPage.err;
  }
  inst.writeParams("ScriptCodePage = klingon\n");
  const auto fromFile = inst.run({"lint", "--params", "params.ini", "Bad"});
  EXPECT_EQ(fromFile.exitCode, 2);
  EXPECT_NE(fromFile.err.find(inst.paramsFile() + ":13: [ScriptCodePage] code page [klingon]"),
            std::string::npos)
      << fromFile.err;
}

TEST(ScriptCommandsTest, RunAndPlanUseTheVariableModeAndAResumeKeepsIt) {
  CliInstallation inst(ZAREZODUD_CLI_PATH);
  inst.write("v/a.sql", "SELECT '$(tag)'\n");
  inst.write("v/b.sql", "SELECT $(missing)\n");
  inst.write("v/v.lst", "a.sql\nb.sql\n");
  inst.addPhase("[V]\nDirectory = v\nPreCommandType = SQL\nPreCommand-CurRelListFileName = v.lst\n");
  inst.writeParams();

  const auto plan = inst.run({"plan", "--params", "params.ini", "V", "--var", "tag=x"});
  EXPECT_EQ(plan.exitCode, 2) << plan.out << plan.err;
  EXPECT_NE(plan.err.find("Script [" + inst.path("v/b.sql") +
                          "] line 1: scripting variable [missing] is not defined"),
            std::string::npos)
      << plan.err;

  const auto run = inst.run({"run", "--params", "params.ini", "V", "--state-dir", "state", "--backend",
                             "record:journal", "--var", "tag=x"});
  EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
  EXPECT_EQ(linesOf(ztest::readFile(inst.path("journal"))), (std::vector<std::string>{inst.path("v/a.sql")}));
  RunJournalReplay journal;
  std::string error;
  ASSERT_TRUE(RunJournal::read(inst.path("state/Corehub.journal"), journal, error)) << error;
  EXPECT_EQ(zcli::RunSettings::fromReplay(journal).overrides, (std::vector<std::string>{"SqlcmdVariables=tag=x"}));

  // The resume takes the variables from the run journal and may not be given others.
  EXPECT_EQ(inst.run({"run", "--resume", "state/Corehub.journal", "--var", "missing=1"}).exitCode, 64);
  inst.write("v/b.sql", "SELECT '$(tag)'\n");
  const auto resumed = inst.run({"run", "--resume", "state/Corehub.journal", "--force"});
  EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
  EXPECT_EQ(linesOf(ztest::readFile(inst.path("journal"))),
            (std::vector<std::string>{inst.path("v/a.sql"), inst.path("v/b.sql")}));
}

}  // namespace
