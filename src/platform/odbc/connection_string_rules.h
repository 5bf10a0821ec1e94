// Rules applied to ODBC connection strings before they are opened or shown: reading an
// attribute, adding the extra attributes an installation asks for, the FreeTDS defaults,
// and masking passwords in any text that may hold a connection string.
//
// Pure functions; thread-safe.
#ifndef ZAREZODUD_PLATFORM_ODBC_CONNECTION_STRING_RULES_H
#define ZAREZODUD_PLATFORM_ODBC_CONNECTION_STRING_RULES_H

#include <string>
#include <string_view>

namespace zarezodud {

// value as it may stand after "KEY=" in an ODBC connection string: unchanged when it is a plain
// token (printable ASCII other than space, ';', '{', '}' and '='), otherwise in braces with
// every '}' doubled, so that no character of it can end the attribute or start another one.
// The empty value stays empty.
std::string quoteConnectionValue(std::string_view value);

// True when value holds a character that no connection string can carry, whether quoted or
// not: a NUL, a carriage return or a line feed.
bool hasUncarriableCharacter(std::string_view value);

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

// The connection string in the form the driver it names reads. Strings are written by the
// ODBC rule ("}}" inside braces stands for "}") in UTF-8. The FreeTDS driver reads them
// differently: it ends a braced value at the first "}" that is followed by ";", takes "}}" as
// two characters, and takes the bytes of a connection string as ISO-8859-1. So for it every
// attribute is rewritten with its value in braces unescaped and its UTF-8 turned into
// ISO-8859-1, and the result ends with ";". Other drivers get the string unchanged. False,
// with problem naming the attribute (never its value), when a value holds "};" or a character
// outside ISO-8859-1, which FreeTDS cannot take.
bool adaptConnectionStringToDriver(std::string_view connectionString, std::string& out, std::string& problem);

// text with the value of every PWD= and Password= attribute (ASCII case ignored) replaced by
// "*****". Safe on any text: error messages, connection strings, attribute lists. A braced
// value is hidden up to its end by the ODBC rule or up to the first "};" after it, whichever
// is further, so that no part of a password shows in either dialect.
std::string maskPasswords(std::string_view text);

// The login timeout in seconds from the text of ZAREZODUD_LOGIN_TIMEOUT: a positive decimal
// number (at most 3600), else the default 30. envValue may be null.
int loginTimeoutSeconds(const char* envValue);

}  // namespace zarezodud

#endif
