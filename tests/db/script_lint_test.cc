// The script lint on deliberately bad scripts: each finding with its file, line, column and
// severity, and clean scripts without any.
#include "db/script_lint.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace zarezodud {
namespace {

class ScriptLintTest : public ::testing::Test {
 protected:
  // "line:column: severity: message" for each finding of the script holding bytes; the file
  // name is checked to be the script's own.
  std::vector<std::string> lint(const std::string& bytes, const ScriptSettings& settings = ScriptSettings()) {
    const std::string path = dir_.write("s.sql", bytes);
    std::vector<LintFinding> findings;
    lintScript(path, settings, findings);
    std::vector<std::string> out;
    for (const LintFinding& f : findings) {
      EXPECT_EQ(f.file, path);
      out.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + ": " +
                    lintSeverityName(f.severity) + ": " + f.message);
    }
    return out;
  }
  // True when one finding starts with prefix.
  static bool has(const std::vector<std::string>& findings, const std::string& prefix) {
    for (const std::string& f : findings) {
      if (f.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
  static std::string all(const std::vector<std::string>& findings) {
    std::ostringstream out;
    for (const std::string& f : findings) out << f << "\n";
    return out.str();
  }

  ztest::TempDir dir_;
};

TEST_F(ScriptLintTest, CleanScriptsHaveNoFindings) {
  EXPECT_TRUE(lint("CREATE TABLE dbo.T (id int)\nGO\nINSERT dbo.T VALUES (1) -- it's fine\nGO 2\n").empty());
  EXPECT_TRUE(lint("SELECT N'caf\xC3\xA9', [a]]b], \"q\"\"x\" /* /* nested */ */\r\nGO\r\n").empty());
}

TEST_F(ScriptLintTest, EncodingsAreReportedWithWhatWillBeDone) {
  EXPECT_EQ(
      lint("\xEF\xBB\xBFSELECT 1\n"),
      (std::vector<std::string>{"1:1: info: UTF-8 byte-order mark: it is dropped before the text is sent"}));
  EXPECT_EQ(lint(std::string("\xFF\xFES\0E\0L\0\n\0", 10)).at(0),
            "1:1: info: UTF-16 LE with byte-order mark: decoded to UTF-8 before it is sent");
  const std::vector<std::string> latin1 = lint("SELECT 1\n-- caf\xE9\n");
  ASSERT_EQ(latin1.size(), 1u) << all(latin1);
  EXPECT_EQ(latin1[0].rfind("2:7: error: byte offset 15: not valid UTF-8 (byte 0xE9)", 0), 0u) << latin1[0];
  ScriptSettings cp;
  cp.codePage = "1252";
  EXPECT_EQ(
      lint("SELECT 1\n-- caf\xE9\n", cp),
      (std::vector<std::string>{"1:1: info: not UTF-8: converted from code page [1252] before it is sent"}));
  const std::vector<std::string> odd = lint(std::string("\xFE\xFF\0S\0\n\0X\0", 9));
  ASSERT_EQ(odd.size(), 1u) << all(odd);
  EXPECT_EQ(odd[0].rfind("2:2: error: byte offset 8: UTF-16 BE with an odd number of bytes", 0), 0u)
      << odd[0];
}

TEST_F(ScriptLintTest, InvalidGoLinesAreErrorsAtTheirColumn) {
  const std::vector<std::string> f = lint("SELECT 1\n  GO /* c */\nSELECT 2\nGO 0\nGOTO x\n");
  ASSERT_EQ(f.size(), 2u) << all(f);
  EXPECT_TRUE(has(f, "2:3: error: [GO /* c */] is not a valid batch separator")) << all(f);
  EXPECT_TRUE(has(f, "4:1: error: [GO 0] is not a valid batch separator")) << all(f);
}

TEST_F(ScriptLintTest, WhatStaysOpenAtTheEndIsAnErrorWhereItOpened) {
  EXPECT_EQ(
      lint("SELECT 1\nGO\nSELECT 'it''s\nGO\n"),
      (std::vector<std::string>{
          "3:8: error: unterminated string literal: it runs to the end of the script, so the batch will not "
          "parse",
          "4:1: warning: [GO] stands inside the string literal opened at line 3, column 8: it does not split "
          "the batch"}));
  EXPECT_TRUE(has(lint("/* a\n/* b */\nSELECT 1\n"), "1:1: error: unterminated block comment"));
  EXPECT_TRUE(has(lint("SELECT é, [col\n"), "1:11: error: unterminated bracketed identifier"))
      << "columns count characters";
  EXPECT_TRUE(has(lint("SELECT \"x\n"), "1:8: error: unterminated quoted identifier"));
}

TEST_F(ScriptLintTest, SqlcmdSyntaxIsAWarningWithTheModeOff) {
  const std::vector<std::string> f =
      lint(":setvar db x\nSELECT '$(db)' -- $(ignored)\n/* $(ignored) */\n  :r other.sql\n!! dir\n");
  EXPECT_EQ(f.size(), 4u) << all(f);
  EXPECT_TRUE(has(f, "1:1: warning: sqlcmd command [:setvar db x] is sent to the server as it is")) << all(f);
  EXPECT_TRUE(has(f, "2:9: warning: [$(db)] is sent to the server as it is")) << all(f);
  EXPECT_TRUE(has(f, "4:3: warning: sqlcmd command [:r other.sql]")) << all(f);
  EXPECT_TRUE(has(f, "5:1: warning: sqlcmd command [!! dir]")) << all(f);
}

TEST_F(ScriptLintTest, WithTheModeOnIncludedFilesAreCheckedUnderTheirOwnName) {
  const std::string inc = dir_.write("inc/part.sql", "\xEF\xBB\xBFSELECT '$(v)'\nGO x\n");
  const std::string path = dir_.write("main.sql", ":setvar v 1\n:r inc/part.sql\nSELECT $(v)\n");
  ScriptSettings settings;
  settings.sqlcmdMode = true;
  std::vector<LintFinding> findings;
  lintScript(path, settings, findings);
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(findings[0].file, inc);
  EXPECT_EQ(findings[0].line, 1);
  EXPECT_EQ(findings[0].severity, LintSeverity::kInfo);
  EXPECT_EQ(findings[1].file, inc);
  EXPECT_EQ(findings[1].line, 2);
  EXPECT_EQ(findings[1].severity, LintSeverity::kError);
  EXPECT_EQ(findings[1].message.rfind("[GO x] is not a valid batch separator", 0), 0u);

  findings.clear();
  dir_.write("inc/part.sql", "SELECT '$(undefined)'\n");
  lintScript(path, settings, findings);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].file, inc);
  EXPECT_EQ(findings[0].line, 1);
  EXPECT_EQ(findings[0].message.rfind("scripting variable [undefined] is not defined", 0), 0u)
      << findings[0].message;
}

TEST_F(ScriptLintTest, NulMixedLineEndsAndEmptyScripts) {
  const std::vector<std::string> nul = lint(std::string("SELECT 1\nSELECT\0 2\n", 19));
  ASSERT_EQ(nul.size(), 1u) << all(nul);
  EXPECT_EQ(nul[0].rfind("2:7: error: NUL character: the text sent stops here", 0), 0u) << nul[0];
  EXPECT_NE(lint(std::string("S\0E\0", 4)).at(0).find("UTF-16 file without byte-order mark?"),
            std::string::npos);
  EXPECT_EQ(
      lint("SELECT 1\r\nSELECT 2\r\nSELECT 3\nSELECT 4\r\n"),
      (std::vector<std::string>{"3:1: info: mixed line ends: 3 line(s) end with CR LF, 1 with LF alone"}));
  for (const std::string& empty : {std::string(), std::string("\xEF\xBB\xBF"), std::string("  \n\n"),
                                   std::string("-- nothing\n/* at all */\nGO\n")}) {
    const std::vector<std::string> f = lint(empty);
    EXPECT_TRUE(has(f, "1:1: warning: nothing is sent")) << all(f);
  }
  const std::string missing = dir_.file("absent.sql");
  std::vector<LintFinding> findings;
  lintScript(missing, ScriptSettings(), findings);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].line, 0);
  EXPECT_EQ(findings[0].severity, LintSeverity::kError);
}

}  // namespace
}  // namespace zarezodud
