// ScriptText: a script as it will be sent (UTF-8, after decoding and, in sqlcmd variable
// mode, after :r inclusions and variable replacement), with the file and line each of its
// lines came from, so that every error names the line a person sees in the file.
//
// A plain value type; thread-compatible.
#ifndef ZAREZODUD_DB_SCRIPT_TEXT_H
#define ZAREZODUD_DB_SCRIPT_TEXT_H

#include <string>
#include <vector>

namespace zarezodud {

// Where one line of a script text came from: an index into ScriptText::files and the 1-based
// line in that file.
struct LineOrigin {
  int file = 0;
  int line = 1;
};

struct ScriptText {
  std::string text;
  // files[0] is the script itself; included files follow in the order they were first met.
  std::vector<std::string> files;
  // One entry per line of text. Empty when line n of text is line n of files[0].
  std::vector<LineOrigin> origins;

  // Where line (1-based) of text came from. Lines past the recorded ones count on from the
  // last recorded line.
  LineOrigin originOf(int line) const {
    if (origins.empty() || line < 1) return LineOrigin{0, line};
    if (static_cast<std::size_t>(line) <= origins.size()) return origins[static_cast<std::size_t>(line) - 1];
    const LineOrigin& last = origins.back();
    return LineOrigin{last.file, last.line + line - static_cast<int>(origins.size())};
  }
  // The path of files[index], or "" when there is no such file.
  const std::string& fileOf(const LineOrigin& origin) const {
    static const std::string kNone;
    return origin.file >= 0 && static_cast<std::size_t>(origin.file) < files.size()
               ? files[static_cast<std::size_t>(origin.file)]
               : kNone;
  }
};

}  // namespace zarezodud

#endif
