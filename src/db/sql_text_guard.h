// Guards for values that the library pastes into statements it builds itself: a value put
// between single quotes has its quotes doubled, so it cannot end the literal early; a value
// that stands unquoted in a statement (a database name after RESTORE DATABASE) must be a plain
// name. Pure functions; thread-safe.
#ifndef ZAREZODUD_DB_SQL_TEXT_GUARD_H
#define ZAREZODUD_DB_SQL_TEXT_GUARD_H

#include <string>

namespace zarezodud {

// value with every single quote doubled, ready to stand between single quotes. Values without
// quotes come back unchanged.
std::string escapeSqlLiteral(const std::string& value);

// name as a bracketed identifier: "[" + name with every ']' doubled + "]".
std::string bracketIdentifier(const std::string& name);

// True when value can stand inside a quoted literal: it holds no NUL character (the text sent
// to the server ends at the first NUL, which would cut the statement short).
bool fitsSqlLiteral(const std::string& value);

// True when name is not empty, made only of ASCII letters, digits and _ @ # $ -, and holds no
// "--" (which would start a comment).
bool isPlainDatabaseName(const std::string& name);

}  // namespace zarezodud

#endif
