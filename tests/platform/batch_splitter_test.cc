#include "platform/batch_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zarezodud {
namespace {

struct Batch {
  std::string text;
  int startLine;
  int repeat;
  bool operator==(const Batch& o) const { return text == o.text && startLine == o.startLine && repeat == o.repeat; }
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

TEST(BatchSplitter, RepeatCountAndSeparatorAtTheEnd) {
  EXPECT_EQ(split("INSERT 1\nGO 3\nINSERT 2\nGO"), (Batches{{"INSERT 1\n", 1, 3}, {"INSERT 2\n", 3, 1}}));
  EXPECT_EQ(split("X\r\nGO 2\r\nY\r\n"), (Batches{{"X\r\n", 1, 2}, {"Y\r\n", 3, 1}}));
  // An invalid count makes the line ordinary text that goes to the server.
  EXPECT_EQ(split("X\nGO 0\nY"), (Batches{{"X\nGO 0\nY", 1, 1}}));
}

TEST(BatchSplitter, NoSplitInsideBlockCommentsIncludingNested) {
  EXPECT_EQ(split("/*\nGO\n*/\nSELECT 1"), (Batches{{"/*\nGO\n*/\nSELECT 1", 1, 1}}));
  // The first "*/" closes only the inner comment.
  EXPECT_EQ(split("SELECT 1 /* a /* b */\nGO\n*/\nGO\nSELECT 2"),
            (Batches{{"SELECT 1 /* a /* b */\nGO\n*/\n", 1, 1}, {"SELECT 2", 5, 1}}));
  // Quotes inside a comment do not open a literal.
  EXPECT_EQ(split("SELECT 1 /* it's */\nGO\nSELECT 2"), (Batches{{"SELECT 1 /* it's */\n", 1, 1}, {"SELECT 2", 3, 1}}));
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
  EXPECT_EQ(split("SELECT 1 -- it's\nGO\nSELECT 2"), (Batches{{"SELECT 1 -- it's\n", 1, 1}, {"SELECT 2", 3, 1}}));
}

TEST(BatchSplitter, BatchesOfBlanksAndCommentsAreDropped) {
  EXPECT_EQ(split("GO\n\n  \nGO\n/* c\n */ -- d\nGO\nSELECT 1\nGO\n\nGO 5\n"), (Batches{{"SELECT 1\n", 8, 1}}));
  EXPECT_TRUE(split("-- only a comment\nGO\n/* and another */").empty());
}

}  // namespace
}  // namespace zarezodud
