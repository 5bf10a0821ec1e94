#include "log/scan_expressions.h"

#include <boost/regex.hpp>
#include <cstdint>
#include <cstring>

namespace zarezodud {

const char* const timestamp_expressions = "^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d";
const char* const RecNum_expressions = "\\][ ]\\[RecNum:[0-9]+, LineNum:[0-9]+\\]n*";

namespace {

// Every RecNum_expressions match starts with this literal text.
constexpr std::string_view kRecNumStart = "] [RecNum:";
constexpr std::string_view kLineNumPart = ", LineNum:";

const boost::regex& timestampRegex() {
  static const boost::regex re(timestamp_expressions);
  return re;
}

const boost::regex& recNumRegex() {
  static const boost::regex re(RecNum_expressions);
  return re;
}

// Which bytes the time stamp expression's \d accepts, asked of its own traits.
struct DigitTable {
  bool digit[256];
  DigitTable() {
    const auto& traits = timestampRegex().get_traits();
    const char name[] = "d";
    const auto digitClass = traits.lookup_classname(name, name + 1);
    for (int c = 0; c < 256; ++c) digit[c] = traits.isctype(static_cast<char>(c), digitClass);
  }
};

const DigitTable& digitTable() {
  static const DigitTable table;
  return table;
}

// The characters after which '^' matches (the regex engine's own line separators).
// The widening of a plain (signed) char is the regex engine's own test, under which a 0x85
// byte is no separator; converting through unsigned char would make '^' match where it does not.
bool isLineSeparator(char c) {
  const auto wide = static_cast<std::uint16_t>(c);  // NOLINT(bugprone-signed-char-misuse,cert-str34-c)
  return c == '\n' || c == '\r' || c == '\f' || wide == 0x2028u || wide == 0x2029u || wide == 0x85u;
}

// Does "\d\d/\d\d/\d\d \d\d:\d\d:\d\d" match the 17 characters at p?
bool stampBodyAt(const char* p, const DigitTable& t) {
  // The separators first: they rule out most candidates at once.
  if (p[2] != '/' || p[5] != '/' || p[8] != ' ' || p[11] != ':' || p[14] != ':') return false;
  static constexpr int kDigits[] = {0, 1, 3, 4, 6, 7, 9, 10, 12, 13, 15, 16};
  for (int at : kDigits) {
    if (!t.digit[static_cast<unsigned char>(p[at])]) return false;
  }
  return true;
}

// Length of "[0-9]+" at text[at...], 0 when there is none.
size_t digitsAt(std::string_view text, size_t at) {
  size_t n = 0;
  while (at + n < text.size() && text[at + n] >= '0' && text[at + n] <= '9') ++n;
  return n;
}

// End of a RecNum_expressions match that starts at `at` (where kRecNumStart is), or npos.
size_t recNumMatchEnd(std::string_view text, size_t at) {
  size_t pos = at + kRecNumStart.size();
  const size_t recDigits = digitsAt(text, pos);
  if (recDigits == 0) return std::string_view::npos;
  pos += recDigits;
  if (text.compare(pos, kLineNumPart.size(), kLineNumPart) != 0) return std::string_view::npos;
  pos += kLineNumPart.size();
  const size_t lineDigits = digitsAt(text, pos);
  if (lineDigits == 0) return std::string_view::npos;
  pos += lineDigits;
  if (pos >= text.size() || text[pos] != ']') return std::string_view::npos;
  ++pos;
  while (pos < text.size() && text[pos] == 'n') ++pos;
  return pos;
}

std::string removeRecNumTagsFast(std::string_view text) {
  std::string out;
  size_t copied = 0;
  for (size_t at = text.find(kRecNumStart); at != std::string_view::npos;
       at = text.find(kRecNumStart, at + 1)) {
    const size_t matchEnd = recNumMatchEnd(text, at);
    if (matchEnd == std::string_view::npos) continue;
    if (out.empty()) out.reserve(text.size());
    out.append(text.data() + copied, at - copied);
    copied = matchEnd;
    at = matchEnd - 1;  // the next search starts at the match's end
  }
  out.append(text.data() + copied, text.size() - copied);
  return out;
}

std::string removeRecNumTagsRegex(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  boost::regex_replace(std::back_inserter(out), text.begin(), text.end(), recNumRegex(), "",
                       boost::regex_constants::format_literal);
  return out;
}

}  // namespace

struct TimeStampCursor::RegexState {
  boost::cregex_iterator it;
};

TimeStampCursor::TimeStampCursor(std::string_view text, MatchEngine engine) : text_(text) {
  if (engine == MatchEngine::kRegex) {
    regex_ = std::make_unique<RegexState>();
    regex_->it = boost::cregex_iterator(text.data(), text.data() + text.size(), timestampRegex());
  }
}

TimeStampCursor::~TimeStampCursor() = default;

bool TimeStampCursor::next(size_t& begin, size_t& end) {
  if (regex_) {
    if (regex_->it == boost::cregex_iterator()) return false;
    begin = static_cast<size_t>((*regex_->it)[0].first - text_.data());
    end = static_cast<size_t>((*regex_->it)[0].second - text_.data());
    ++regex_->it;
    return true;
  }
  constexpr size_t kStampLength = 17;
  const DigitTable& table = digitTable();
  const char* const first = text_.data();
  const char* const last = first + text_.size();
  // Every match has '/' as its third character: memchr finds the candidates.
  while (text_.size() - from_ >= kStampLength) {
    const char* from = first + from_;
    const void* slash = std::memchr(from + 2, '/', static_cast<size_t>(last - from) - 2);
    if (slash == nullptr) break;
    const char* candidate = static_cast<const char*>(slash) - 2;
    from_ = static_cast<size_t>(candidate - first) + 1;
    if (static_cast<size_t>(last - candidate) < kStampLength) break;
    if (candidate != first && !isLineSeparator(candidate[-1])) continue;
    if (!stampBodyAt(candidate, table)) continue;
    begin = static_cast<size_t>(candidate - first);
    end = begin + kStampLength;
    from_ = end;
    return true;
  }
  from_ = text_.size();
  return false;
}

namespace {

// Does a match start at text[at]?
bool stampAt(std::string_view text, size_t at, const DigitTable& table) {
  return text.size() - at >= kTimeStampLength && (at == 0 || isLineSeparator(text[at - 1])) &&
         stampBodyAt(text.data() + at, table);
}

}  // namespace

size_t nextTimeStamp(std::string_view text, size_t from) {
  const DigitTable& table = digitTable();
  // Every match has '/' as its third character: memchr finds the candidates.
  while (from < text.size() && text.size() - from >= kTimeStampLength) {
    const void* slash = std::memchr(text.data() + from + 2, '/', text.size() - from - 2);
    if (slash == nullptr) break;
    const size_t candidate = static_cast<size_t>(static_cast<const char*>(slash) - text.data()) - 2;
    if (stampAt(text, candidate, table)) return candidate;
    from = candidate + 1;
  }
  return std::string_view::npos;
}

size_t lastTimeStampBefore(std::string_view text, size_t before, size_t floor) {
  const DigitTable& table = digitTable();
  if (before > text.size() || before < kTimeStampLength + floor) return std::string_view::npos;
  // Candidates from the back: the third character of a match is '/', found with memrchr.
  size_t limit = before - kTimeStampLength + 3;  // the '/' of a candidate lies below limit
  while (limit > floor + 2) {
    const void* slash = memrchr(text.data() + floor + 2, '/', limit - floor - 2);
    if (slash == nullptr) break;
    const size_t candidate = static_cast<size_t>(static_cast<const char*>(slash) - text.data()) - 2;
    if (stampAt(text, candidate, table)) return candidate;
    limit = candidate + 2;
  }
  return std::string_view::npos;
}

void findTimeStamps(std::string_view text, MatchEngine engine, std::vector<std::pair<size_t, size_t>>& out) {
  TimeStampCursor cursor(text, engine);
  size_t begin = 0;
  size_t end = 0;
  while (cursor.next(begin, end)) out.emplace_back(begin, end);
}

size_t recNumTagEnd(std::string_view text, size_t at) {
  if (at > text.size() || text.compare(at, kRecNumStart.size(), kRecNumStart) != 0)
    return std::string_view::npos;
  return recNumMatchEnd(text, at);
}

std::string removeRecNumTags(std::string_view text, MatchEngine engine) {
  // Without the tag's literal start there is nothing to remove.
  if (text.find(kRecNumStart) == std::string_view::npos) return std::string(text);
  return engine == MatchEngine::kRegex ? removeRecNumTagsRegex(text) : removeRecNumTagsFast(text);
}

}  // namespace zarezodud
