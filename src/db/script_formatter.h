// Fills the placeholders of a caller-supplied SQL script with an operation's arguments without
// ever handing the script to printf: the script is outside text, and a stray conversion in it
// must not read or write memory. Only "%s", "%d", "%ld", "%lu" and "%%" are understood; any
// other conversion, a placeholder without an argument, or an argument of the wrong kind for
// its placeholder makes the fill fail. Arguments left over are ignored (a script may use fewer
// placeholders than the operation supplies).
//
// Pure functions; thread-safe.
#ifndef ZAREZODUD_DB_SCRIPT_FORMATTER_H
#define ZAREZODUD_DB_SCRIPT_FORMATTER_H

#include <string>
#include <utility>
#include <vector>

namespace zarezodud {

// One value put into a script: a text (for "%s") or an integer (for "%d", "%ld", "%lu").
class ScriptArg {
 public:
  // Implicit on purpose, so that an argument list reads {name, path} or {level}.
  ScriptArg(std::string text) : isText_(true), text_(std::move(text)) {}
  ScriptArg(const char* text) : isText_(true), text_(text != nullptr ? text : "") {}
  ScriptArg(int value) : isText_(false), integer_(value) {}
  ScriptArg(long value) : isText_(false), integer_(value) {}
  ScriptArg(unsigned long value) : isText_(false), integer_(static_cast<long>(value)) {}

  bool isText() const { return isText_; }
  const std::string& text() const { return text_; }
  long integer() const { return integer_; }

 private:
  bool isText_;
  std::string text_;
  long integer_ = 0;
};

// Replaces the placeholders of script, in order, with args into out. "%s" takes a text;
// "%d", "%ld" and "%lu" take an integer, shown as an int, a long and an unsigned long
// respectively (as printf would convert it); "%%" gives one "%". Returns false (out cleared)
// when the script holds any other conversion (flags, widths and precisions included), a lone
// "%" at its end, more placeholders than args, or an argument of the other kind.
bool formatScript(const std::string& script, const std::vector<ScriptArg>& args, std::string& out);

}  // namespace zarezodud

#endif
