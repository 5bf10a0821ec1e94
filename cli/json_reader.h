// A small JSON parser for the files this command writes itself (its reports). It accepts
// standard JSON (RFC 8259) with any nesting up to 64 levels and rejects everything else,
// saying where.
//
// Thread-safety: values are plain data; parsing keeps no state.
#ifndef ZAREZODUD_CLI_JSON_READER_H
#define ZAREZODUD_CLI_JSON_READER_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zcli {

struct JsonValue {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = Type::kNull;
  bool flag = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;                            // kArray
  std::vector<std::pair<std::string, JsonValue>> members;  // kObject, in file order

  // The member named name of an object, or null when absent (or this is no object).
  const JsonValue* find(const std::string& name) const;
  // The member's text when it is a string, else fallback.
  std::string stringOr(const std::string& name, const std::string& fallback) const;
  // The member's value when it is a number, else fallback.
  int64_t intOr(const std::string& name, int64_t fallback) const;
};

// Parses text into out. False with error ("line L, column C: reason") on malformed input.
bool parseJson(const std::string& text, JsonValue& out, std::string& error);

}  // namespace zcli

#endif
