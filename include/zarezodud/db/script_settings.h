// How script files are read before they are sent: the code page of scripts that are not
// UTF-8, and the opt-in sqlcmd variable mode with its predefined variables. A DBQueries object
// and an INIFileProcessor each hold one (the default reads UTF-8, UTF-8 with byte-order mark
// and UTF-16 with byte-order mark, and leaves sqlcmd syntax alone).
//
// A plain value type and pure functions; thread-compatible.
#ifndef ZAREZODUD_DB_SCRIPT_SETTINGS_H
#define ZAREZODUD_DB_SCRIPT_SETTINGS_H

#include <string>
#include <utility>
#include <vector>

#include "export.h"

namespace zarezodud {

struct ScriptSettings {
  // Code page of scripts without byte-order mark that are not valid UTF-8 ("1252",
  // "ISO-8859-1", ...); "" refuses such scripts.
  std::string codePage;
  // sqlcmd variable mode: $(NAME) is replaced, :setvar and :r are carried out, before the
  // script is split into batches.
  bool sqlcmdMode = false;
  // Variables defined before the script starts (name, value), in order; a later entry for the
  // same name (names ignore letter case) wins. The script's own :setvar overrides them.
  std::vector<std::pair<std::string, std::string>> variables;
};

// True when name can name a scripting variable: letters, digits, '_' and '-', not starting
// with a digit or '-'.
bool isScriptVariableName(const std::string& name);

// Parses "NAME=VALUE" (the value may be empty and may hold '='; blanks around the name are
// dropped). False with error when there is no '=', the name is not a variable name, or the
// value holds a line break.
ZAREZODUD_API bool parseScriptVariable(const std::string& text, std::string& name, std::string& value,
                                       std::string& error);

// Parses "NAME=VALUE;NAME=VALUE;..." (";;" stands for a ';' inside a value; empty items are
// ignored) and appends the pairs to variables. False with error at the first bad item.
ZAREZODUD_API bool parseScriptVariableList(const std::string& text,
                                           std::vector<std::pair<std::string, std::string>>& variables,
                                           std::string& error);

// The list form of one variable, ';' doubled: the inverse of one item of
// parseScriptVariableList.
ZAREZODUD_API std::string scriptVariableListItem(const std::string& name, const std::string& value);

}  // namespace zarezodud

#endif
