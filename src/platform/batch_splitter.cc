#include "platform/batch_splitter.h"

#include <climits>

namespace zarezodud {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Where the lexer is at a given point of the script.
enum class Lex { kCode, kBlockComment, kLineComment, kString, kDoubleQuoted, kBracketed };

}  // namespace

int scriptLineOf(int lineInBatch, int batchStartLine) {
  return lineInBatch > 0 ? batchStartLine + lineInBatch - 1 : 0;
}

bool parseSeparatorLine(std::string_view line, int& repeatCount) {
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n && isBlank(line[i])) ++i;
  if (n - i < 2 || (line[i] != 'g' && line[i] != 'G') || (line[i + 1] != 'o' && line[i + 1] != 'O')) {
    return false;
  }
  i += 2;
  // GO must be a whole word: followed by the end, a blank or a comment.
  auto atCommentOrEnd = [&](std::size_t at) {
    return at >= n || (line[at] == '-' && at + 1 < n && line[at + 1] == '-');
  };
  if (i < n && !isBlank(line[i]) && !atCommentOrEnd(i)) return false;
  while (i < n && isBlank(line[i])) ++i;
  long long count = 1;
  if (i < n && isDigit(line[i])) {
    count = 0;
    while (i < n && isDigit(line[i])) {
      count = count * 10 + (line[i] - '0');
      if (count > INT_MAX) return false;
      ++i;
    }
    if (count <= 0) return false;
    if (i < n && !isBlank(line[i]) && !atCommentOrEnd(i)) return false;
    while (i < n && isBlank(line[i])) ++i;
  }
  if (!atCommentOrEnd(i)) return false;
  repeatCount = static_cast<int>(count);
  return true;
}

std::vector<SqlBatch> splitSqlBatches(std::string_view script) {
  std::vector<SqlBatch> batches;
  const std::size_t n = script.size();
  Lex lex = Lex::kCode;
  int commentDepth = 0;
  int line = 1;
  std::size_t batchStart = 0;
  int batchStartLine = 1;
  bool significant = false;  // the current batch holds something besides blanks and comments

  auto finishBatch = [&](std::size_t end, int repeat) {
    if (significant) batches.push_back(SqlBatch{batchStart, end - batchStart, batchStartLine, repeat});
    significant = false;
  };

  std::size_t i = 0;
  while (i < n) {
    // At the start of a line outside comments and literals: is it a separator?
    if (lex == Lex::kCode) {
      std::size_t eol = script.find('\n', i);
      if (eol == std::string_view::npos) eol = n;
      int repeat = 1;
      if (parseSeparatorLine(script.substr(i, eol - i), repeat)) {
        finishBatch(i, repeat);
        i = eol < n ? eol + 1 : n;
        ++line;
        batchStart = i;
        batchStartLine = line;
        continue;
      }
    }
    // Lex the rest of the line (literals and block comments may run on past it).
    while (i < n) {
      const char c = script[i];
      const char next = i + 1 < n ? script[i + 1] : '\0';
      if (c == '\n') {
        ++i;
        ++line;
        if (lex == Lex::kLineComment) lex = Lex::kCode;
        break;
      }
      switch (lex) {
        case Lex::kCode:
          if (c == '-' && next == '-') {
            lex = Lex::kLineComment;
            ++i;
          } else if (c == '/' && next == '*') {
            lex = Lex::kBlockComment;
            commentDepth = 1;
            ++i;
          } else if (c == '\'') {
            lex = Lex::kString;
            significant = true;
          } else if (c == '"') {
            lex = Lex::kDoubleQuoted;
            significant = true;
          } else if (c == '[') {
            lex = Lex::kBracketed;
            significant = true;
          } else if (!isBlank(c)) {
            significant = true;
          }
          break;
        case Lex::kBlockComment:
          if (c == '/' && next == '*') {
            ++commentDepth;
            ++i;
          } else if (c == '*' && next == '/') {
            if (--commentDepth == 0) lex = Lex::kCode;
            ++i;
          }
          break;
        case Lex::kLineComment:
          break;
        case Lex::kString:
          if (c == '\'') {
            if (next == '\'') {
              ++i;
            } else {
              lex = Lex::kCode;
            }
          }
          break;
        case Lex::kDoubleQuoted:
          if (c == '"') {
            if (next == '"') {
              ++i;
            } else {
              lex = Lex::kCode;
            }
          }
          break;
        case Lex::kBracketed:
          if (c == ']') {
            if (next == ']') {
              ++i;
            } else {
              lex = Lex::kCode;
            }
          }
          break;
      }
      ++i;
    }
  }
  finishBatch(n, 1);
  return batches;
}

}  // namespace zarezodud
