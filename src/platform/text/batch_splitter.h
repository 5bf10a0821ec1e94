// Client-side batch splitting of a Transact-SQL script at separator lines, and the lexical
// facts about a script that its checks need.
//
// A separator line is a line whose first non-blank word is GO (any letter case), optionally
// followed by a positive repeat count and optionally by a "--" comment, and nothing else.
// A line whose first word is GO (GO followed by the end of the line or by a character that
// cannot continue a name: not a letter, digit, _, @, # or $) but that is not a separator line
// (GO 0, GO -1, GO x, GO ;, GO /* c */, GO 2 3, GO 3x) is an invalid separator: the scan
// reports it, and the callers refuse the script rather than send it.
// GO inside a block comment (nested /* */), a string literal ('...' with '' escapes) or a
// quoted identifier ("..." with "" escapes, [...] with ]] escapes) does not split. Batches
// holding only blanks and comments are dropped.
//
// Pure functions over the given text; thread-safe.
#ifndef ZAREZODUD_PLATFORM_TEXT_BATCH_SPLITTER_H
#define ZAREZODUD_PLATFORM_TEXT_BATCH_SPLITTER_H

#include <cstddef>
#include <string_view>
#include <vector>

namespace zarezodud {

// One batch: a slice of the script, the 1-based line of the script on which the slice
// starts, and how many times it is to run (the separator's repeat count, 1 by default).
struct SqlBatch {
  std::size_t offset = 0;
  std::size_t length = 0;
  int startLine = 1;
  int repeatCount = 1;

  std::string_view textIn(std::string_view script) const { return script.substr(offset, length); }
};

// One line of a script: where its text starts, its length without the line end, its 1-based
// number.
struct ScriptLine {
  std::size_t offset = 0;
  std::size_t length = 0;
  int line = 1;

  std::string_view textIn(std::string_view script) const { return script.substr(offset, length); }
};

// A construct that runs on until its closing character(s).
enum class OpenConstruct { kNone, kStringLiteral, kQuotedIdentifier, kBracketedIdentifier, kBlockComment };

// "string literal", "quoted identifier", "bracketed identifier", "block comment" ("" for kNone).
const char* describeConstruct(OpenConstruct construct);

// A separator line that did not split because it stands inside a string literal or a quoted
// identifier, with where that construct opened.
struct HiddenSeparator {
  ScriptLine line;
  OpenConstruct inside = OpenConstruct::kNone;
  std::size_t openedAt = 0;
  int openedLine = 1;
};

// Everything one lexical pass over a script finds.
struct ScriptScan {
  std::vector<SqlBatch> batches;
  // Lines whose first word is GO that are not valid separators (they split nothing).
  std::vector<ScriptLine> invalidSeparators;
  // The construct still open at the end of the text (kNone when everything was closed), with
  // the offset and line where it opened.
  OpenConstruct unterminated = OpenConstruct::kNone;
  std::size_t unterminatedAt = 0;
  int unterminatedLine = 0;
  std::vector<HiddenSeparator> hiddenSeparators;
  // sqlcmd syntax: lines that start, outside comments and literals, with ':' and a letter
  // (":setvar", ":r", ":on error", ...) or with "!!".
  std::vector<ScriptLine> commandLines;
  // Offsets of "$(" outside comments (in code, literals and quoted identifiers).
  std::vector<std::size_t> variableReferences;
};

// The script line of a line the server reports within a batch that starts on script line
// batchStartLine: batchStartLine + lineInBatch - 1; 0 when the server gave none (0 or less).
int scriptLineOf(int lineInBatch, int batchStartLine);

// One lexical pass over script. The batches exclude the separator lines themselves; a
// batch's text starts at the beginning of the line after the previous separator (or at the
// start of the script), so the driver's line numbers within a batch map back to the script
// as startLine + line - 1. A script without separators is one batch (unless it is empty).
// Invalid separator lines are treated as ordinary text here; the callers decide.
ScriptScan scanSqlScript(std::string_view script);

// The batches of scanSqlScript(script).
std::vector<SqlBatch> splitSqlBatches(std::string_view script);

enum class SeparatorLine { kNone, kValid, kInvalid };

// Classifies line (without its line end): kValid with repeatCount set, kInvalid when its
// first word is GO but what follows is not a repeat count and/or a "--" comment, else kNone.
// Lexical context is not considered: the caller decides whether the line starts outside
// comments and literals.
SeparatorLine classifySeparatorLine(std::string_view line, int& repeatCount);

// True (repeatCount set) when classifySeparatorLine gives kValid.
bool parseSeparatorLine(std::string_view line, int& repeatCount);

}  // namespace zarezodud

#endif
