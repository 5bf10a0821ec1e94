// Keeps the documentation honest. Code blocks in README.md and docs/*.md may be preceded by a
// marker comment:
//   <!-- example: PATH -->          the block's lines are a contiguous run of lines of PATH
//   <!-- example-output: ARGS -->   the block is exactly what "zarezodud ARGS" prints (run in
//                                   the source tree)
//   <!-- check: zarezodud-help -->  every "zarezodud ..." line names subcommands that exist:
//                                   "zarezodud <subcommands> --help" succeeds and shows the
//                                   usage of exactly those subcommands
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/temp_dir.h"

namespace {

const std::string kSource = ZAREZODUD_SOURCE_DIR;
const std::string kCommand = std::string(ZAREZODUD_BINARY_DIR) + "/cli/zarezodud";

struct MarkedBlock {
  std::string document;
  int line = 0;  // line of the marker
  std::string kind;
  std::string argument;
  std::vector<std::string> lines;
};

std::string rtrim(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(rtrim(line));
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// The marked blocks of one document; a marker without a code block right after it is
// reported as a block with kind "orphan".
std::vector<MarkedBlock> markedBlocks(const std::string& path) {
  const std::vector<std::string> lines = splitLines(ztest::readFile(path));
  std::vector<MarkedBlock> blocks;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.rfind("<!-- ", 0) != 0 || line.size() < 9 || line.compare(line.size() - 4, 4, " -->") != 0)
      continue;
    const std::string body = line.substr(5, line.size() - 9);
    const size_t colon = body.find(": ");
    if (colon == std::string::npos) continue;
    MarkedBlock block;
    block.document = path;
    block.line = static_cast<int>(i + 1);
    block.kind = body.substr(0, colon);
    block.argument = body.substr(colon + 2);
    if (i + 1 >= lines.size() || lines[i + 1].rfind("```", 0) != 0) {
      block.kind = "orphan";
      blocks.push_back(block);
      continue;
    }
    size_t j = i + 2;
    for (; j < lines.size() && lines[j] != "```"; ++j) block.lines.push_back(lines[j]);
    if (j == lines.size()) block.kind = "orphan";
    blocks.push_back(block);
    i = j;
  }
  return blocks;
}

std::vector<MarkedBlock> allBlocks() {
  std::vector<std::string> documents = {kSource + "/README.md"};
  for (const auto& entry : std::filesystem::directory_iterator(kSource + "/docs")) {
    if (entry.path().extension() == ".md") documents.push_back(entry.path().string());
  }
  std::vector<MarkedBlock> blocks;
  for (const std::string& document : documents) {
    std::vector<MarkedBlock> found = markedBlocks(document);
    blocks.insert(blocks.end(), found.begin(), found.end());
  }
  return blocks;
}

std::string where(const MarkedBlock& block) { return block.document + ":" + std::to_string(block.line); }

bool isContiguousRun(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  if (part.empty() || part.size() > whole.size()) return false;
  for (size_t start = 0; start + part.size() <= whole.size(); ++start) {
    size_t k = 0;
    while (k < part.size() && part[k] == whole[start + k]) ++k;
    if (k == part.size()) return true;
  }
  return false;
}

ztest::CommandResult runCommand(const std::vector<std::string>& args) {
  ztest::CommandSpec invocation;
  invocation.program = kCommand;
  invocation.args = args;
  invocation.cwd = kSource;
  return ztest::runCommand(invocation);
}

// The subcommand words of a "zarezodud ..." line: the lower-case words right after the name.
std::vector<std::string> subcommandWords(const std::string& line) {
  std::istringstream in(line);
  std::string word;
  in >> word;  // zarezodud
  std::vector<std::string> words;
  while (words.size() < 2 && in >> word) {
    bool lower = !word.empty();
    for (char c : word) lower = lower && c >= 'a' && c <= 'z';
    if (!lower) break;
    words.push_back(word);
  }
  return words;
}

// True when "zarezodud <words> --help" succeeds and its usage line is that of <words> (an
// unknown word makes the command show the help of the nearest known parent instead).
bool helpNames(const std::vector<std::string>& words, std::string& detail) {
  std::vector<std::string> args = words;
  args.push_back("--help");
  const ztest::CommandResult result = runCommand(args);
  std::string expected = "zarezodud";
  for (const std::string& word : words) expected += " " + word;
  expected += " [OPTIONS]";
  for (const std::string& line : splitLines(result.out)) {
    if (line.rfind("Usage: ", 0) == 0) {
      detail = "exit " + std::to_string(result.exitCode) + ", " + line;
      return result.exitCode == 0 && line.find(expected) != std::string::npos;
    }
  }
  detail = "exit " + std::to_string(result.exitCode) + ", no usage line; " + result.err;
  return false;
}

TEST(DocsExamples, EveryMarkerIsFollowedByACodeBlockOfAKnownKind) {
  const std::vector<MarkedBlock> blocks = allBlocks();
  std::set<std::string> kinds;
  for (const MarkedBlock& block : blocks) {
    EXPECT_NE(block.kind, "orphan") << where(block) << ": marker without a code block after it";
    EXPECT_TRUE(block.kind == "example" || block.kind == "example-output" || block.kind == "check" ||
                block.kind == "orphan")
        << where(block) << ": unknown marker kind [" << block.kind << "]";
    kinds.insert(block.kind);
  }
  // The documents do use all three kinds; losing them all would leave nothing checked.
  EXPECT_EQ(kinds.count("example"), 1u);
  EXPECT_EQ(kinds.count("example-output"), 1u);
  EXPECT_EQ(kinds.count("check"), 1u);
}

TEST(DocsExamples, QuotedFilesMatchTheExamples) {
  int checked = 0;
  for (const MarkedBlock& block : allBlocks()) {
    if (block.kind != "example") continue;
    const std::string path = kSource + "/" + block.argument;
    ASSERT_TRUE(ztest::fileExists(path)) << where(block) << ": no file " << block.argument;
    EXPECT_TRUE(isContiguousRun(block.lines, splitLines(ztest::readFile(path))))
        << where(block) << ": the block is not a verbatim run of lines of " << block.argument;
    ++checked;
  }
  EXPECT_GE(checked, 5);
}

TEST(DocsExamples, ShownOutputIsWhatTheCommandPrints) {
  int checked = 0;
  for (const MarkedBlock& block : allBlocks()) {
    if (block.kind != "example-output") continue;
    std::vector<std::string> args;
    std::istringstream in(block.argument);
    for (std::string word; in >> word;) args.push_back(word);
    const ztest::CommandResult result = runCommand(args);
    EXPECT_EQ(result.exitCode, 0) << where(block) << "\n" << result.err;
    EXPECT_EQ(splitLines(result.out), block.lines) << where(block) << ": zarezodud " << block.argument;
    ++checked;
  }
  EXPECT_GE(checked, 2);
}

TEST(DocsExamples, CommandLinesNameExistingSubcommands) {
  int checked = 0;
  for (const MarkedBlock& block : allBlocks()) {
    if (block.kind != "check") continue;
    EXPECT_EQ(block.argument, "zarezodud-help") << where(block);
    for (const std::string& raw : block.lines) {
      const size_t start = raw.find_first_not_of(' ');
      const std::string line = start == std::string::npos ? std::string() : raw.substr(start);
      if (line.rfind("zarezodud ", 0) != 0) continue;
      std::string detail;
      EXPECT_TRUE(helpNames(subcommandWords(line), detail)) << where(block) << ": " << line << "\n" << detail;
      ++checked;
    }
  }
  EXPECT_GE(checked, 10);
}

TEST(DocsExamples, AWrongSubcommandIsCaught) {
  // The help check above must be able to fail on a misspelt subcommand.
  std::string detail;
  EXPECT_TRUE(helpNames({"registry", "get"}, detail)) << detail;
  EXPECT_FALSE(helpNames({"registry", "show"}, detail)) << detail;
  EXPECT_FALSE(helpNames({"validat"}, detail)) << detail;
}

}  // namespace
