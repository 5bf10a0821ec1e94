#include "platform/text/batch_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zarezodud {
namespace {

struct Batch {
  std::string text;
  int startLine;
  int repeat;
  bool operator==(const Batch& o) const {
    return text == o.text && startLine == o.startLine && repeat == o.repeat;
  }
};

std::ostream& operator<<(std::ostream& os, const Batch& b) {
  return os << "{\"" << b.text << "\", line " << b.startLine << ", x" << b.repeat << "}";
}

std::vector<Batch> split(const std::string& script) {
  std::vector<Batch> out;
  for (const SqlBatch& b : splitSqlBatches(script)) {
    out.push_back(Batch{std::string(b.textIn(script)), b.startLine, b.repeatCount});
  }
  return out;
}

using Batches = std::vector<Batch>;

TEST(BatchSplitter, ScriptWithoutSeparatorIsOneBatch) {
  EXPECT_EQ(split("SELECT 1\nSELECT 2"), (Batches{{"SELECT 1\nSELECT 2", 1, 1}}));
  EXPECT_TRUE(split("").empty());
}

TEST(BatchSplitter, SplitsAtSeparatorLinesAndKeepsStartLines) {
  EXPECT_EQ(split("A\nGO\nB\n\nC\ngo\nD"), (Batches{{"A\n", 1, 1}, {"B\n\nC\n", 3, 1}, {"D", 7, 1}}));
  // A batch keeps its leading blank lines, so the server's line numbers map back.
  EXPECT_EQ(split("A\nGO\n\n\nB\n"), (Batches{{"A\n", 1, 1}, {"\n\nB\n", 3, 1}}));
  // Lines inside a multi-line literal still count.
  EXPECT_EQ(split("SELECT 'a\nb'\nGO\nSELECT 2"), (Batches{{"SELECT 'a\nb'\n", 1, 1}, {"SELECT 2", 4, 1}}));
}

TEST(BatchSplitter, ServerLinesMapBackToScriptLines) {
  const std::string script = "SET X ON\nGO\n\nSELECT 1\nSELECT 2\n";
  const std::vector<SqlBatch> batches = splitSqlBatches(script);
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(scriptLineOf(1, batches[0].startLine), 1);
  EXPECT_EQ(scriptLineOf(3, batches[1].startLine), 5)
      << "the server's line 3 of the second batch is SELECT 2";
  EXPECT_EQ(scriptLineOf(0, batches[1].startLine), 0) << "no line from the server";
  EXPECT_EQ(scriptLineOf(-1, 9), 0);
}

TEST(BatchSplitter, SeparatorLineForms) {
  int n = 0;
  for (const char* line : {"GO", "go", "Go", "  GO  ", "\tgO\t", "GO -- done", "GO--done", "GO\r"}) {
    n = 0;
    EXPECT_TRUE(parseSeparatorLine(line, n)) << line;
    EXPECT_EQ(n, 1) << line;
  }
  for (const auto& [line, count] : std::vector<std::pair<const char*, int>>{
           {"GO 3", 3}, {"go\t12", 12}, {"GO 2 -- twice", 2}, {"GO 2--twice", 2}, {" GO 7 ", 7}}) {
    n = 0;
    EXPECT_TRUE(parseSeparatorLine(line, n)) << line;
    EXPECT_EQ(n, count) << line;
  }
  for (const char* line : {"GOTO done", "GO;", "GO 0", "GO -1", "GO 3x", "GO x", "GO 2 3", "SELECT 1 GO",
                           "GO /* c */", "G O", "GO 99999999999", "-- GO", ""}) {
    EXPECT_FALSE(parseSeparatorLine(line, n)) << line;
  }
}

TEST(BatchSplitter, LinesWhoseFirstWordIsGoButThatAreNoSeparatorAreInvalid) {
  int n = 0;
  // What sqlcmd rejects, what it reads loosely (GO 2 3, GO 3x), and GO glued to other signs.
  for (const char* line : {"GO 0", "GO -1", "GO x", "GO ;", "GO;", "GO /* c */", "GO/* c */", "GO 2 3",
                           "GO 3x", "  go 0", "GO-1", "GO 99999999999", "GO 1;", "GO.", "GO 2 /* c */"}) {
    EXPECT_EQ(classifySeparatorLine(line, n), SeparatorLine::kInvalid) << line;
  }
  // Another first word, or GO not first: ordinary text.
  for (const char* line :
       {"GOTO done", "go2", "GO_x", "GO@x", "GO#t", "GO$", "G O", "SELECT 1 GO", "-- GO", "", "   ", "GOD"}) {
    EXPECT_EQ(classifySeparatorLine(line, n), SeparatorLine::kNone) << line;
  }
  // The lenient forms accepted so far stay separators.
  for (const char* line : {"GO", "GO\t", "GO\t-- done", "GO--done", "GO 2--twice", "gO 5 ", "GO\r"}) {
    EXPECT_EQ(classifySeparatorLine(line, n), SeparatorLine::kValid) << line;
  }
}

TEST(BatchSplitter, ScanReportsInvalidSeparatorsWithoutSplittingAtThem) {
  // Taken as text, "GO /* c */" would silently merge the two batches.
  const std::string script = "SELECT 1\nGO /* c */\nSELECT 2\nGO 0\n";
  const ScriptScan scan = scanSqlScript(script);
  ASSERT_EQ(scan.invalidSeparators.size(), 2u);
  EXPECT_EQ(scan.invalidSeparators[0].line, 2);
  EXPECT_EQ(scan.invalidSeparators[0].textIn(script), "GO /* c */");
  EXPECT_EQ(scan.invalidSeparators[1].line, 4);
  EXPECT_EQ(scan.batches.size(), 1u);
  // Inside a comment or literal a GO line is neither a separator nor invalid.
  EXPECT_TRUE(scanSqlScript("/*\nGO 0\n*/ SELECT 1").invalidSeparators.empty());
  EXPECT_TRUE(scanSqlScript("SELECT 'x\nGO x\n'").invalidSeparators.empty());
}

TEST(BatchSplitter, ScanTellsWhatIsLeftOpenAndWhereItOpened) {
  struct Case {
    const char* script;
    OpenConstruct open;
    std::size_t at;
    int line;
  } cases[] = {
      {"SELECT 1\nGO\nSELECT 'abc\nGO\n", OpenConstruct::kStringLiteral, 19, 3},
      {"SELECT \"x", OpenConstruct::kQuotedIdentifier, 7, 1},
      {"SELECT [a]]b\n", OpenConstruct::kBracketedIdentifier, 7, 1},
      {"/* a /* b */ still open\n", OpenConstruct::kBlockComment, 0, 1},
      {"SELECT 1 -- ' not a literal", OpenConstruct::kNone, 0, 0},
      {"SELECT 'it''s' /* c */ [x]]y]", OpenConstruct::kNone, 0, 0},
  };
  for (const Case& c : cases) {
    const ScriptScan scan = scanSqlScript(c.script);
    EXPECT_EQ(scan.unterminated, c.open) << c.script;
    EXPECT_EQ(scan.unterminatedAt, c.at) << c.script;
    EXPECT_EQ(scan.unterminatedLine, c.line) << c.script;
  }
}

TEST(BatchSplitter, ScanFindsSeparatorsHiddenInLiteralsButNotInComments) {
  const std::string script = "PRINT 'unclosed\nGO\nSELECT 1'\n/*\nGO\n*/\nSELECT [a\nGO 2\n]\n";
  const ScriptScan scan = scanSqlScript(script);
  ASSERT_EQ(scan.hiddenSeparators.size(), 2u);
  EXPECT_EQ(scan.hiddenSeparators[0].line.line, 2);
  EXPECT_EQ(scan.hiddenSeparators[0].inside, OpenConstruct::kStringLiteral);
  EXPECT_EQ(scan.hiddenSeparators[0].openedLine, 1);
  EXPECT_EQ(scan.hiddenSeparators[0].openedAt, 6u);
  EXPECT_EQ(scan.hiddenSeparators[1].line.line, 8);
  EXPECT_EQ(scan.hiddenSeparators[1].inside, OpenConstruct::kBracketedIdentifier);
}

TEST(BatchSplitter, ScanFindsSqlcmdSyntaxOutsideComments) {
  const std::string script =
      ":setvar db Corehub\n  :r \"inc.sql\"\n!! ls\nSELECT '$(db)', [$(x)] -- $(y)\n/* :r no\n$(z) */\n"
      "SELECT ':r no'\nSELECT 1 ::x\n";
  const ScriptScan scan = scanSqlScript(script);
  ASSERT_EQ(scan.commandLines.size(), 3u);
  EXPECT_EQ(scan.commandLines[0].line, 1);
  EXPECT_EQ(scan.commandLines[1].line, 2);
  EXPECT_EQ(scan.commandLines[2].line, 3);
  ASSERT_EQ(scan.variableReferences.size(), 2u) << "not the ones in comments";
  EXPECT_EQ(script.substr(scan.variableReferences[0], 5), "$(db)");
  EXPECT_EQ(script.substr(scan.variableReferences[1], 4), "$(x)");
}

TEST(BatchSplitter, RepeatCountAndSeparatorAtTheEnd) {
  EXPECT_EQ(split("INSERT 1\nGO 3\nINSERT 2\nGO"), (Batches{{"INSERT 1\n", 1, 3}, {"INSERT 2\n", 3, 1}}));
  EXPECT_EQ(split("X\r\nGO 2\r\nY\r\n"), (Batches{{"X\r\n", 1, 2}, {"Y\r\n", 3, 1}}));
  // An invalid count splits nothing (the scan reports the line; callers refuse the script).
  EXPECT_EQ(split("X\nGO 0\nY"), (Batches{{"X\nGO 0\nY", 1, 1}}));
}

TEST(BatchSplitter, NoSplitInsideBlockCommentsIncludingNested) {
  EXPECT_EQ(split("/*\nGO\n*/\nSELECT 1"), (Batches{{"/*\nGO\n*/\nSELECT 1", 1, 1}}));
  // The first "*/" closes only the inner comment.
  EXPECT_EQ(split("SELECT 1 /* a /* b */\nGO\n*/\nGO\nSELECT 2"),
            (Batches{{"SELECT 1 /* a /* b */\nGO\n*/\n", 1, 1}, {"SELECT 2", 5, 1}}));
  // Quotes inside a comment do not open a literal.
  EXPECT_EQ(split("SELECT 1 /* it's */\nGO\nSELECT 2"),
            (Batches{{"SELECT 1 /* it's */\n", 1, 1}, {"SELECT 2", 3, 1}}));
}

TEST(BatchSplitter, NoSplitInsideLiteralsAndQuotedIdentifiers) {
  EXPECT_EQ(split("SELECT 'a\nGO\nb'").size(), 1u);
  EXPECT_EQ(split("SELECT 'it''s\nGO\nstill'").size(), 1u) << "'' does not end the literal";
  EXPECT_EQ(split("SELECT \"a\nGO\nb\"").size(), 1u);
  EXPECT_EQ(split("SELECT \"a\"\"\nGO\nb\"").size(), 1u);
  EXPECT_EQ(split("SELECT [a]]\nGO\nb]").size(), 1u) << "]] does not end the identifier";
  EXPECT_EQ(split("SELECT [a\nGO\n]").size(), 1u);
  // Once closed, the next GO line splits again; "/*" inside a literal opens no comment.
  EXPECT_EQ(split("SELECT '/*'\nGO\nSELECT [x]\nGO\nSELECT 3"),
            (Batches{{"SELECT '/*'\n", 1, 1}, {"SELECT [x]\n", 3, 1}, {"SELECT 3", 5, 1}}));
}

TEST(BatchSplitter, LineCommentsEndAtTheLineAndHideQuotes) {
  EXPECT_EQ(split("SELECT 1 -- it's\nGO\nSELECT 2"),
            (Batches{{"SELECT 1 -- it's\n", 1, 1}, {"SELECT 2", 3, 1}}));
}

TEST(BatchSplitter, BatchesOfBlanksAndCommentsAreDropped) {
  EXPECT_EQ(split("GO\n\n  \nGO\n/* c\n */ -- d\nGO\nSELECT 1\nGO\n\nGO 5\n"),
            (Batches{{"SELECT 1\n", 8, 1}}));
  EXPECT_TRUE(split("-- only a comment\nGO\n/* and another */").empty());
}

}  // namespace
}  // namespace zarezodud
