// Client-side batch splitting of a Transact-SQL script at separator lines.
//
// A separator line is a line whose first non-blank word is GO (any letter case), optionally
// followed by a positive repeat count and optionally by a "--" comment, and nothing else.
// GO inside a block comment (nested /* */), a string literal ('...' with '' escapes) or a
// quoted identifier ("..." with "" escapes, [...] with ]] escapes) does not split. Batches
// holding only blanks and comments are dropped.
//
// Pure functions over the given text; thread-safe.
#ifndef ZAREZODUD_PLATFORM_BATCH_SPLITTER_H
#define ZAREZODUD_PLATFORM_BATCH_SPLITTER_H

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

// The script line of a line the server reports within a batch that starts on script line
// batchStartLine: batchStartLine + lineInBatch - 1; 0 when the server gave none (0 or less).
int scriptLineOf(int lineInBatch, int batchStartLine);

// The batches of script in order. The slices exclude the separator lines themselves; a
// batch's text starts at the beginning of the line after the previous separator (or at the
// start of the script), so the driver's line numbers within a batch map back to the script
// as startLine + line - 1. A script without separators is one batch (unless it is empty).
std::vector<SqlBatch> splitSqlBatches(std::string_view script);

// When line (without its line end) is a separator line, returns true and sets repeatCount.
// Lexical context is not considered: the caller decides whether the line starts outside
// comments and literals.
bool parseSeparatorLine(std::string_view line, int& repeatCount);

}  // namespace zarezodud

#endif
