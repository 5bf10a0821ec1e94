#include "db/sql_text_guard.h"

#include <cstring>

namespace zarezodud {

std::string escapeSqlLiteral(const std::string& value) {
  std::string escaped;
  escaped.reserve(value.size());
  for (const char c : value) {
    escaped += c;
    if (c == '\'') escaped += '\'';
  }
  return escaped;
}

std::string bracketIdentifier(const std::string& name) {
  std::string out = "[";
  for (const char c : name) {
    out += c;
    if (c == ']') out += ']';
  }
  return out + "]";
}

bool fitsSqlLiteral(const std::string& value) { return value.find('\0') == std::string::npos; }

bool isPlainDatabaseName(const std::string& name) {
  // "--" would start a comment that swallows the rest of the statement's line.
  if (name.empty() || name.find("--") != std::string::npos) return false;
  for (const char c : name) {
    const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && (c == '\0' || std::strchr("_@#$-", c) == nullptr)) return false;
  }
  return true;
}

}  // namespace zarezodud
