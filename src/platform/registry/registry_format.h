// The text form of one registry file, parsed and written without touching the file system.
//
//   # comment (lines whose first non-blank character is '#' or ';')
//   [key path]
//   name=s:<text>
//   name=n:<unsigned 64-bit decimal>
//
// Key paths, value names and string values are escaped so that any byte sequence
// round-trips: "\\" backslash, "\n" newline, "\r" carriage return, "\t" tab, "\=" "=",
// "\[" "[", "\]" "]", "\#" "#", "\;" ";", and "\xHH" (two hex digits) for every other
// control byte and for a space at either end of the text. Blanks around a key path, a value
// name and the type prefix are ignored on reading, so a hand-edited "name = n:5" still
// reads; unescaped blanks at the ends of any text are dropped, blanks inside are kept. A raw
// carriage return at the end of a line (CRLF editing) is dropped. Key paths and value names
// are case-sensitive.
//
// Lines that cannot be parsed are ignored and reported in RegistryContent::problems; values
// after a broken "[...]" line are ignored too rather than being filed under the previous key.
// The writer keeps comments and ignored lines (the latter as "#! ignored: <line>") so that a
// rewrite never silently discards what an administrator typed.
//
// Pure functions over values; thread-safe.
#ifndef ZAREZODUD_PLATFORM_REGISTRY_REGISTRY_FORMAT_H
#define ZAREZODUD_PLATFORM_REGISTRY_REGISTRY_FORMAT_H

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zarezodud {

struct RegistryValue {
  enum class Type { kString, kNumber };
  Type type = Type::kString;
  std::string text;               // the value when type is kString
  unsigned long long number = 0;  // the value when type is kNumber

  static RegistryValue ofString(std::string text);
  static RegistryValue ofNumber(unsigned long long number);
  bool operator==(const RegistryValue& other) const;
};

struct RegistryContent {
  // key path -> value name -> value
  std::map<std::string, std::map<std::string, RegistryValue>> keys;
  // Comment lines and ignored lines, kept verbatim for the next write.
  std::vector<std::string> keptLines;
  // "line <n>: <reason>" for each line that was ignored.
  std::vector<std::string> problems;
};

// Parses a whole file. Never fails: what cannot be parsed is listed in problems.
RegistryContent parseRegistryText(std::string_view text);

// The file text for content (keys and names in sorted order; empty keys left out).
std::string formatRegistryText(const RegistryContent& content);

// Escaping of one key path, value name or string value (rules above).
std::string escapeRegistryText(std::string_view raw);
// Reverses escapeRegistryText. False with a reason on a malformed escape.
bool unescapeRegistryText(std::string_view escaped, std::string* raw, std::string* reason);

}  // namespace zarezodud

#endif
