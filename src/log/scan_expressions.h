// The two regular expressions of the log scanner and the ways of applying them.
//
// The expression texts (Boost.Regex, default Perl syntax) are the definition. Applying a
// Boost expression costs about half a microsecond per call, more than all other work on a
// typical 100-byte record, so the scanner's normal engine is a pair of hand-written
// matchers that accept exactly what the compiled expressions accept (their digit class and
// line separators are taken from the compiled expression's traits). The Boost engine stays
// available; tests hold the two engines to the same results.
//
// Thread-safety: pure functions; the compiled expressions and tables are immutable statics
// built on first use.
#ifndef ZAREZODUD_LOG_SCAN_EXPRESSIONS_H
#define ZAREZODUD_LOG_SCAN_EXPRESSIONS_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zarezodud {

// A line that starts a record: a date of three two-digit groups and a time.
extern const char* const timestamp_expressions;
// The record and line tag that the connection service puts after a server message.
extern const char* const RecNum_expressions;

enum class MatchEngine {
  kFast,   // hand-written matchers
  kRegex,  // the compiled Boost expressions
};

// Walks the matches of timestamp_expressions in a text, in order (the matches a regex
// iterator over the whole text would give). The text must outlive the cursor.
class TimeStampCursor {
 public:
  TimeStampCursor(std::string_view text, MatchEngine engine);
  ~TimeStampCursor();
  TimeStampCursor(const TimeStampCursor&) = delete;
  TimeStampCursor& operator=(const TimeStampCursor&) = delete;

  // The [begin, end) offsets of the next match; false when there are no more.
  bool next(size_t& begin, size_t& end);

 private:
  struct RegexState;
  std::string_view text_;
  size_t from_ = 0;                    // fast engine: where the next search starts
  std::unique_ptr<RegexState> regex_;  // Boost engine: the iterator
};

// The length of every match of timestamp_expressions.
constexpr size_t kTimeStampLength = 17;

// A match of timestamp_expressions depends only on the 17 characters at a place and the one
// before it (no match can contain a line separator, so no two overlap): the matches a regex
// iterator finds are exactly the places where one can start. That lets a scanner look for the
// stamps around a place of interest alone (hand-written matcher):
//
// The start of the first match at or after from, or npos.
size_t nextTimeStamp(std::string_view text, size_t from);
// The start b of the last match with floor <= b and b + kTimeStampLength <= before, or npos.
size_t lastTimeStampBefore(std::string_view text, size_t before, size_t floor);

// Appends the [begin, end) offsets of every match of timestamp_expressions in text.
void findTimeStamps(std::string_view text, MatchEngine engine, std::vector<std::pair<size_t, size_t>>& out);

// text with every match of RecNum_expressions removed.
std::string removeRecNumTags(std::string_view text, MatchEngine engine);

// Where the match of RecNum_expressions that starts at `at` in text ends, or npos when none
// starts there (the hand-written matcher's answer).
size_t recNumTagEnd(std::string_view text, size_t at);

}  // namespace zarezodud

#endif
