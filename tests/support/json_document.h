// JSON documents the command writes (reports, scan, plan and lint output), read back in tests
// through nlohmann-json into a plain tree that keeps members in file order (duplicates
// included, so a test can see them) and refuses nesting deeper than 64 levels.
//
// Thread-safety: values are plain data; parsing keeps no state.
#ifndef ZAREZODUD_TESTS_SUPPORT_JSON_DOCUMENT_H
#define ZAREZODUD_TESTS_SUPPORT_JSON_DOCUMENT_H

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

  // The first member named name of an object, or null when absent (or this is no object).
  const JsonValue* find(const std::string& name) const;
  // The member's text when it is a string, else fallback.
  std::string stringOr(const std::string& name, const std::string& fallback) const;
  // The member's value when it is a number, else fallback.
  int64_t intOr(const std::string& name, int64_t fallback) const;
};

// Parses text into out. False with error (nlohmann's, naming "line L, column C") on malformed
// input or nesting deeper than 64 levels.
bool parseJson(const std::string& text, JsonValue& out, std::string& error);

}  // namespace zcli

#endif
