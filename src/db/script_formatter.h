// Fills the placeholders of a caller-supplied SQL script with an operation's arguments without
// ever handing the script to printf: the script is outside text, and a stray conversion in it
// must not read or write memory. Only "%s", "%d", "%ld", "%lu" and "%%" are understood; any
// other conversion, a placeholder without an argument, or an argument of the wrong kind for
// its placeholder makes the fill fail. Arguments left over are ignored (a script may use fewer
// placeholders than the operation supplies).
//
// Every text value is checked against where its placeholder stands in the script, so that no
// value can end a literal, an identifier or a comment early and add statements of its own:
// - inside a string literal ('...%s...'): single quotes are doubled;
// - inside a bracketed identifier ([%s]): ']' is doubled;
// - inside a double-quoted identifier ("%s"): '"' is doubled;
// - anywhere else (bare in the statement, or in a comment): the value must be a plain token,
//   ASCII letters, digits and _ @ # $ . - only, without "--".
// A NUL character is refused everywhere (the text sent ends at it). Database names must be
// plain names wherever they stand (letters, digits and _ @ # $ -, no "--"). Values the library
// makes itself (version strings) are put in as they are.
//
// Pure functions; thread-safe.
#ifndef ZAREZODUD_DB_SCRIPT_FORMATTER_H
#define ZAREZODUD_DB_SCRIPT_FORMATTER_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace zarezodud {

// One value put into a script: a text (for "%s") or an integer (for "%d", "%ld", "%lu").
class ScriptArg {
 public:
  enum class Kind { kText, kDatabaseName, kFixed, kInteger };

  // Implicit on purpose, so that an argument list reads {path, text} or {level}. A text made
  // this way is checked by where it stands.
  ScriptArg(std::string text) : kind_(Kind::kText), text_(std::move(text)) {}
  ScriptArg(const char* text) : kind_(Kind::kText), text_(text != nullptr ? text : "") {}
  ScriptArg(int value) : kind_(Kind::kInteger), integer_(value) {}
  ScriptArg(long value) : kind_(Kind::kInteger), integer_(value) {}
  ScriptArg(unsigned long value) : kind_(Kind::kInteger), integer_(static_cast<long>(value)) {}

  // A database name: must be a plain name (isPlainDatabaseName) wherever it stands.
  static ScriptArg databaseName(std::string name) { return ScriptArg(Kind::kDatabaseName, std::move(name)); }
  // A text the library made itself; put in unchanged.
  static ScriptArg fixed(std::string text) { return ScriptArg(Kind::kFixed, std::move(text)); }

  Kind kind() const { return kind_; }
  bool isText() const { return kind_ != Kind::kInteger; }
  const std::string& text() const { return text_; }
  long integer() const { return integer_; }

 private:
  ScriptArg(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

  Kind kind_;
  std::string text_;
  long integer_ = 0;
};

// Why a fill failed. argument is the index (from 0) of the refused argument, or npos when the
// script itself does not match the arguments (unknown conversion, too few arguments, an
// argument of the other kind). line is the script line (from 1) of the placeholder; reason
// says what the value may not hold there, and never quotes the value.
struct ScriptFillProblem {
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  std::size_t argument = npos;
  std::size_t line = 0;
  std::string reason;
};

// Replaces the placeholders of script, in order, with args into out. "%s" takes a text;
// "%d", "%ld" and "%lu" take an integer, shown as an int, a long and an unsigned long
// respectively (as printf would convert it); "%%" gives one "%". Returns false (out cleared,
// problem filled when given) when the script holds any other conversion (flags, widths and
// precisions included), a lone "%" at its end, more placeholders than args, an argument of the
// other kind, or a value that may not stand where its placeholder is (rules above).
bool formatScript(const std::string& script, const std::vector<ScriptArg>& args, std::string& out,
                  ScriptFillProblem* problem = nullptr);

}  // namespace zarezodud

#endif
