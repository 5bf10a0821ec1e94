// Rules applied to ODBC connection strings before they are opened or shown: reading an
// attribute, adding the extra attributes an installation asks for, the FreeTDS defaults,
// and masking passwords in any text that may hold a connection string.
//
// Pure functions; thread-safe.
#ifndef ZAREZODUD_PLATFORM_CONNECTION_STRING_RULES_H
#define ZAREZODUD_PLATFORM_CONNECTION_STRING_RULES_H

#include <string>
#include <string_view>

namespace zarezodud {

// The value of the attribute named key (ASCII case ignored) in an ODBC connection string,
// braces removed ("}}" inside braces gives "}"); false when the attribute is absent.
bool findConnectionAttribute(std::string_view connectionString, std::string_view key, std::string& value);

// The connection string that is actually opened:
// - extraAttributes (from the installation, may be empty) are inserted right after the
//   MARS_Connection piece (";MARS_Connection=...;AnsiNPW=...") or appended at the end when
//   there is none;
// - when the Driver attribute names FreeTDS, ";TDS_Version=7.4" is added unless the result
//   already names TDS_Version, and ";ClientCharset=UTF-8" unless it names ClientCharset or
//   CharSet.
std::string composeConnectionString(std::string_view connectionString, std::string_view extraAttributes);

// text with the value of every PWD= and Password= attribute (ASCII case ignored) replaced by
// "*****". Safe on any text: error messages, connection strings, attribute lists.
std::string maskPasswords(std::string_view text);

// The login timeout in seconds from the text of ZAREZODUD_LOGIN_TIMEOUT: a positive decimal
// number (at most 3600), else the default 30. envValue may be null.
int loginTimeoutSeconds(const char* envValue);

}  // namespace zarezodud

#endif
