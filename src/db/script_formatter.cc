#include "db/script_formatter.h"

#include "db/sql_text_guard.h"

namespace zarezodud {

namespace {

enum class Conversion { kText, kInt, kLong, kUnsignedLong, kPercent, kInvalid };

// The conversion starting after the '%' at script[pos]; length receives the number of
// characters it takes after the '%'.
Conversion conversionAt(const std::string& script, std::size_t pos, std::size_t& length) {
  const auto at = [&script](std::size_t i) { return i < script.size() ? script[i] : '\0'; };
  length = 1;
  switch (at(pos)) {
    case 's':
      return Conversion::kText;
    case 'd':
      return Conversion::kInt;
    case '%':
      return Conversion::kPercent;
    case 'l':
      length = 2;
      if (at(pos + 1) == 'd') return Conversion::kLong;
      if (at(pos + 1) == 'u') return Conversion::kUnsignedLong;
      return Conversion::kInvalid;
    default:
      return Conversion::kInvalid;
  }
}

// Where in the T-SQL text a character stands.
enum class Place { kCode, kLiteral, kBracket, kQuoted, kLineComment, kBlockComment };

// Follows the script's own characters (the values put in never change the place, since they
// are quoted for it) and tells where each placeholder stands.
class SqlPlaceTracker {
 public:
  Place place() const { return place_; }
  std::size_t line() const { return line_; }

  // Consumes script[pos] (and, for a two-character token, the next one too); returns how many
  // characters were consumed.
  std::size_t consume(const std::string& script, std::size_t pos) {
    const char c = script[pos];
    const char next = pos + 1 < script.size() ? script[pos + 1] : '\0';
    if (c == '\n') ++line_;
    switch (place_) {
      case Place::kCode:
        if (c == '\'') {
          place_ = Place::kLiteral;
        } else if (c == '[') {
          place_ = Place::kBracket;
        } else if (c == '"') {
          place_ = Place::kQuoted;
        } else if (c == '-' && next == '-') {
          place_ = Place::kLineComment;
          return 2;
        } else if (c == '/' && next == '*') {
          place_ = Place::kBlockComment;
          depth_ = 1;
          return 2;
        }
        return 1;
      case Place::kLiteral:
        return closeOn(c, next, '\'');
      case Place::kBracket:
        return closeOn(c, next, ']');
      case Place::kQuoted:
        return closeOn(c, next, '"');
      case Place::kLineComment:
        if (c == '\n') place_ = Place::kCode;
        return 1;
      case Place::kBlockComment:
        if (c == '/' && next == '*') {
          ++depth_;
          return 2;
        }
        if (c == '*' && next == '/') {
          if (--depth_ == 0) place_ = Place::kCode;
          return 2;
        }
        return 1;
    }
    return 1;
  }

 private:
  // In a quoted place: a doubled closer stays inside, a single one leaves.
  std::size_t closeOn(char c, char next, char closer) {
    if (c != closer) return 1;
    if (next == closer) return 2;
    place_ = Place::kCode;
    return 1;
  }

  Place place_ = Place::kCode;
  std::size_t line_ = 1;
  int depth_ = 0;
};

std::string doubled(const std::string& value, char quote) {
  std::string out;
  out.reserve(value.size() + 2);
  for (const char c : value) {
    out += c;
    if (c == quote) out += quote;
  }
  return out;
}

// A value that may stand outside any quotes: it can only ever be one token.
bool isPlainToken(const std::string& value) {
  if (value.find("--") != std::string::npos) return false;
  for (const char c : value) {
    const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && c != '_' && c != '@' && c != '#' && c != '$' && c != '.' && c != '-') return false;
  }
  return true;
}

// The text value as it goes into the script at place; false with reason when it may not.
bool placeText(const ScriptArg& arg, Place place, std::string& out, std::string& reason) {
  const std::string& value = arg.text();
  if (arg.kind() == ScriptArg::Kind::kFixed) {
    out = value;
    return true;
  }
  if (value.find('\0') != std::string::npos) {
    reason = "it holds a NUL character";
    return false;
  }
  if (arg.kind() == ScriptArg::Kind::kDatabaseName && !isPlainDatabaseName(value)) {
    reason = "a database name may hold only letters, digits and _ @ # $ - (no \"--\")";
    return false;
  }
  switch (place) {
    case Place::kLiteral:
      out = doubled(value, '\'');
      return true;
    case Place::kBracket:
      out = doubled(value, ']');
      return true;
    case Place::kQuoted:
      out = doubled(value, '"');
      return true;
    default:
      if (!isPlainToken(value)) {
        reason =
            "outside quotes and brackets a value may hold only letters, digits and _ @ # $ . - (no \"--\"); "
            "put the placeholder between quotes or brackets in the script";
        return false;
      }
      out = value;
      return true;
  }
}

}  // namespace

bool formatScript(const std::string& script, const std::vector<ScriptArg>& args, std::string& out,
                  ScriptFillProblem* problem) {
  out.clear();
  const auto fail = [problem](std::size_t argument, std::size_t line, std::string reason) {
    if (problem != nullptr) {
      problem->argument = argument;
      problem->line = line;
      problem->reason = std::move(reason);
    }
    return false;
  };
  std::string result;
  result.reserve(script.size());
  SqlPlaceTracker tracker;
  std::size_t next = 0;
  std::size_t pos = 0;
  while (pos < script.size()) {
    if (script[pos] != '%') {
      const std::size_t taken = tracker.consume(script, pos);
      result.append(script, pos, taken);
      pos += taken;
      continue;
    }
    std::size_t length = 0;
    const Conversion conversion = conversionAt(script, pos + 1, length);
    pos += 1 + length;
    if (conversion == Conversion::kPercent) {
      result += '%';
      continue;
    }
    if (conversion == Conversion::kInvalid) {
      return fail(ScriptFillProblem::npos, tracker.line(),
                  "the script holds a conversion other than %s, %d, %ld, %lu");
    }
    if (next >= args.size()) {
      return fail(ScriptFillProblem::npos, tracker.line(),
                  "the script holds more placeholders than arguments");
    }
    const std::size_t index = next++;
    const ScriptArg& arg = args[index];
    if ((conversion == Conversion::kText) != arg.isText()) {
      return fail(ScriptFillProblem::npos, tracker.line(),
                  "a placeholder does not match its argument's kind");
    }
    switch (conversion) {
      case Conversion::kText: {
        std::string placed, reason;
        if (!placeText(arg, tracker.place(), placed, reason)) return fail(index, tracker.line(), reason);
        result += placed;
        break;
      }
      case Conversion::kInt:
        result += std::to_string(static_cast<int>(arg.integer()));
        break;
      case Conversion::kLong:
        result += std::to_string(arg.integer());
        break;
      default:
        result += std::to_string(static_cast<unsigned long>(arg.integer()));
        break;
    }
  }
  out = std::move(result);
  return true;
}

}  // namespace zarezodud
