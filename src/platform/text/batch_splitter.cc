#include "platform/text/batch_splitter.h"

#include <climits>

namespace zarezodud {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
// A character at which the lexer's state may change outside comments and literals.
bool isCodeSpecial(char c) { return c == '-' || c == '/' || c == '\'' || c == '"' || c == '[' || c == '$'; }
// A character that may continue a name: after "GO" it makes another word (GOTO, go2, GO_x).
bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '_' || c == '@' || c == '#' ||
         c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// Where the lexer is at a given point of the script.
enum class Lex { kCode, kBlockComment, kLineComment, kString, kDoubleQuoted, kBracketed };

}  // namespace

int scriptLineOf(int lineInBatch, int batchStartLine) {
  return lineInBatch > 0 ? batchStartLine + lineInBatch - 1 : 0;
}

SeparatorLine classifySeparatorLine(std::string_view line, int& repeatCount) {
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n && isBlank(line[i])) ++i;
  if (n - i < 2 || (line[i] != 'g' && line[i] != 'G') || (line[i + 1] != 'o' && line[i + 1] != 'O')) {
    return SeparatorLine::kNone;
  }
  i += 2;
  // GO must be a whole word: GOTO, go2 or GO_x are other words.
  if (i < n && isNameCharacter(line[i])) return SeparatorLine::kNone;
  auto atCommentOrEnd = [&](std::size_t at) {
    return at >= n || (line[at] == '-' && at + 1 < n && line[at + 1] == '-');
  };
  if (i < n && !isBlank(line[i]) && !atCommentOrEnd(i)) return SeparatorLine::kInvalid;
  while (i < n && isBlank(line[i])) ++i;
  long long count = 1;
  if (i < n && isDigit(line[i])) {
    count = 0;
    while (i < n && isDigit(line[i])) {
      count = count * 10 + (line[i] - '0');
      if (count > INT_MAX) return SeparatorLine::kInvalid;
      ++i;
    }
    if (count <= 0) return SeparatorLine::kInvalid;
    if (i < n && !isBlank(line[i]) && !atCommentOrEnd(i)) return SeparatorLine::kInvalid;
    while (i < n && isBlank(line[i])) ++i;
  }
  if (!atCommentOrEnd(i)) return SeparatorLine::kInvalid;
  repeatCount = static_cast<int>(count);
  return SeparatorLine::kValid;
}

bool parseSeparatorLine(std::string_view line, int& repeatCount) {
  return classifySeparatorLine(line, repeatCount) == SeparatorLine::kValid;
}

const char* describeConstruct(OpenConstruct construct) {
  switch (construct) {
    case OpenConstruct::kStringLiteral:
      return "string literal";
    case OpenConstruct::kQuotedIdentifier:
      return "quoted identifier";
    case OpenConstruct::kBracketedIdentifier:
      return "bracketed identifier";
    case OpenConstruct::kBlockComment:
      return "block comment";
    case OpenConstruct::kNone:
      break;
  }
  return "";
}

ScriptScan scanSqlScript(std::string_view script) {
  ScriptScan scan;
  const std::size_t n = script.size();
  Lex lex = Lex::kCode;
  int commentDepth = 0;
  int line = 1;
  std::size_t batchStart = 0;
  int batchStartLine = 1;
  bool significant = false;  // the current batch holds something besides blanks and comments
  std::size_t openedAt = 0;  // where the construct being lexed opened
  int openedLine = 1;

  auto finishBatch = [&](std::size_t end, int repeat) {
    if (significant) scan.batches.push_back(SqlBatch{batchStart, end - batchStart, batchStartLine, repeat});
    significant = false;
  };
  auto open = [&](Lex into, std::size_t at) {
    lex = into;
    openedAt = at;
    openedLine = line;
  };

  std::size_t i = 0;
  while (i < n) {
    // At the start of a line.
    std::size_t eol = script.find('\n', i);
    if (eol == std::string_view::npos) eol = n;
    const std::string_view text = script.substr(i, eol - i);
    int repeat = 1;
    if (lex == Lex::kCode) {
      const SeparatorLine kind = classifySeparatorLine(text, repeat);
      if (kind == SeparatorLine::kValid) {
        finishBatch(i, repeat);
        i = eol < n ? eol + 1 : n;
        ++line;
        batchStart = i;
        batchStartLine = line;
        continue;
      }
      if (kind == SeparatorLine::kInvalid) {
        scan.invalidSeparators.push_back(ScriptLine{i, text.size(), line});
      } else {
        std::size_t first = 0;
        while (first < text.size() && isBlank(text[first])) ++first;
        const char c0 = first < text.size() ? text[first] : '\0';
        const char c1 = first + 1 < text.size() ? text[first + 1] : '\0';
        if ((c0 == ':' && ((c1 >= 'a' && c1 <= 'z') || (c1 >= 'A' && c1 <= 'Z'))) ||
            (c0 == '!' && c1 == '!')) {
          scan.commandLines.push_back(ScriptLine{i, text.size(), line});
        }
      }
    } else if (lex == Lex::kString || lex == Lex::kDoubleQuoted || lex == Lex::kBracketed) {
      if (classifySeparatorLine(text, repeat) == SeparatorLine::kValid) {
        const OpenConstruct inside = lex == Lex::kString         ? OpenConstruct::kStringLiteral
                                     : lex == Lex::kDoubleQuoted ? OpenConstruct::kQuotedIdentifier
                                                                 : OpenConstruct::kBracketedIdentifier;
        scan.hiddenSeparators.push_back(
            HiddenSeparator{ScriptLine{i, text.size(), line}, inside, openedAt, openedLine});
      }
    }
    // Lex the line (literals and block comments may run on past it). Runs of characters that
    // cannot change the state are skipped in tight loops: this pass reads every script.
    while (i < eol) {
      switch (lex) {
        case Lex::kCode: {
          if (!significant) {
            while (i < eol && !isCodeSpecial(script[i]) && isBlank(script[i])) ++i;
            if (i < eol && !isCodeSpecial(script[i])) significant = true;
          }
          while (i < eol && !isCodeSpecial(script[i])) ++i;
          if (i >= eol) break;
          const char c = script[i];
          const char next = i + 1 < n ? script[i + 1] : '\0';
          if (c == '-' && next == '-') {
            lex = Lex::kLineComment;
            i += 2;
          } else if (c == '/' && next == '*') {
            open(Lex::kBlockComment, i);
            commentDepth = 1;
            i += 2;
          } else {
            if (c == '\'') {
              open(Lex::kString, i);
            } else if (c == '"') {
              open(Lex::kDoubleQuoted, i);
            } else if (c == '[') {
              open(Lex::kBracketed, i);
            } else if (c == '$' && next == '(') {
              scan.variableReferences.push_back(i);
            }
            significant = true;
            ++i;
          }
          break;
        }
        case Lex::kLineComment:
          i = eol;
          break;
        case Lex::kBlockComment: {
          while (i < eol && script[i] != '/' && script[i] != '*') ++i;
          if (i >= eol) break;
          const char next = i + 1 < n ? script[i + 1] : '\0';
          if (script[i] == '/' && next == '*') {
            ++commentDepth;
            i += 2;
          } else if (script[i] == '*' && next == '/') {
            if (--commentDepth == 0) lex = Lex::kCode;
            i += 2;
          } else {
            ++i;
          }
          break;
        }
        case Lex::kString:
        case Lex::kDoubleQuoted:
        case Lex::kBracketed: {
          const char close = lex == Lex::kString ? '\'' : (lex == Lex::kDoubleQuoted ? '"' : ']');
          while (i < eol && script[i] != close && script[i] != '$') ++i;
          if (i >= eol) break;
          const char next = i + 1 < n ? script[i + 1] : '\0';
          if (script[i] == '$') {
            if (next == '(') scan.variableReferences.push_back(i);
            ++i;
          } else if (next == close) {
            i += 2;  // a doubled closing character stands for itself
          } else {
            lex = Lex::kCode;
            ++i;
          }
          break;
        }
      }
    }
    // The line end (a doubled closing character cannot reach past it: i stops at eol).
    if (i < n) {
      ++i;
      ++line;
      if (lex == Lex::kLineComment) lex = Lex::kCode;
    }
  }
  finishBatch(n, 1);
  switch (lex) {
    case Lex::kString:
      scan.unterminated = OpenConstruct::kStringLiteral;
      break;
    case Lex::kDoubleQuoted:
      scan.unterminated = OpenConstruct::kQuotedIdentifier;
      break;
    case Lex::kBracketed:
      scan.unterminated = OpenConstruct::kBracketedIdentifier;
      break;
    case Lex::kBlockComment:
      scan.unterminated = OpenConstruct::kBlockComment;
      break;
    case Lex::kCode:
    case Lex::kLineComment:
      break;
  }
  if (scan.unterminated != OpenConstruct::kNone) {
    scan.unterminatedAt = openedAt;
    scan.unterminatedLine = openedLine;
  }
  return scan;
}

std::vector<SqlBatch> splitSqlBatches(std::string_view script) { return scanSqlScript(script).batches; }

}  // namespace zarezodud
