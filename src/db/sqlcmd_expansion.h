// The sqlcmd variable mode: carries out a script's sqlcmd commands and scripting variables
// before the script is split into batches, as sqlcmd does.
//
// - $(NAME) is replaced by the variable's value everywhere on a line (code, literals, quoted
//   identifiers and comments alike) and in the arguments of :setvar and :r; names ignore
//   letter case. An undefined variable, or a
//   "$(" that does not form a reference, fails the script.
// - A line that starts, outside comments and literals, with ":setvar NAME value" (value bare or
//   in double quotes, "" for a quote inside) defines a variable; ":setvar NAME" removes it.
// - ":r path" puts the file at path (relative paths: to the including file's directory) in
//   place of the line; included files are read and decoded like the script itself. Includes
//   nested more than 16 deep, or a file that includes itself, fail the script.
// - ":on error exit" is accepted (a failing batch ends the script anyway). Every other
//   command (":on error ignore", ":connect", ":out", "!!", ...) fails the script: it could not
//   be carried out as the author meant.
// Command lines become empty lines, so line numbers outside included text do not move.
//
// Pure functions (file access only through the loader); thread-safe.
#ifndef ZAREZODUD_DB_SQLCMD_EXPANSION_H
#define ZAREZODUD_DB_SQLCMD_EXPANSION_H

#include <functional>
#include <string>

#include "db/script_settings.h"
#include "db/script_text.h"

namespace zarezodud {

// Reads and decodes the file at path into text (UTF-8); false with error (a whole message
// naming the file) when it cannot.
using ScriptLoader = std::function<bool(const std::string& path, std::string& text, std::string& error)>;

// The deepest nesting of :r includes accepted (the script itself is level 0).
constexpr int kMaxIncludeDepth = 16;

// Why a script could not be expanded: the file and line where the problem stands (also
// inside an included file) and what it is.
struct ExpansionError {
  std::string file;
  int line = 0;
  std::string what;

  // "Script [<file>] line <line>: <what>."
  std::string message() const {
    return "Script [" + file + "] line " + std::to_string(line) + ": " + what + ".";
  }
};

// Expands text, the decoded content of the script at path, with the variables of settings.
// On success out holds the expanded text, files[0] = path plus the included files, and one
// origin per line. False with error filled; out is then unspecified.
bool expandSqlcmdScript(const std::string& path, const std::string& text, const ScriptSettings& settings,
                        const ScriptLoader& load, ScriptText& out, ExpansionError& error);

}  // namespace zarezodud

#endif
