#include "result_json.h"

#include <set>
#include <string>
#include <vector>

namespace zcli {

std::vector<std::string> uniqueCellKeys(const std::vector<std::string>& names) {
  std::vector<std::string> keys;
  std::set<std::string> used;
  // Named cells keep their names first, so that an unnamed cell never takes a real column's.
  for (const std::string& name : names) {
    if (!name.empty()) used.insert(name);
  }
  std::set<std::string> given;
  for (std::size_t c = 0; c < names.size(); ++c) {
    std::string key = names[c].empty() ? "column" + std::to_string(c + 1) : names[c];
    if (given.count(key) != 0 || (names[c].empty() && used.count(key) != 0)) {
      const std::string base = key;
      for (int n = 2; given.count(key) != 0 || used.count(key) != 0; ++n)
        key = base + "_" + std::to_string(n);
    }
    given.insert(key);
    keys.push_back(key);
  }
  return keys;
}

void writeScriptJson(JsonWriter& w, const RKZARezodud::Script& script) {
  w.beginObject();
  w.key("name").value(script.getName()).key("description").value(script.getDescription());
  w.key("returnCode").value(static_cast<int64_t>(script.getReturnCode()));
  w.key("messages").beginArray();
  const auto errors = script.errors();
  for (std::size_t i = 0; i < errors.size(); ++i) {
    const RKZARezodud::Error& error = errors.at(i);
    const int64_t severity = error.getSeverity();
    w.beginObject();
    w.key("severity").value(severity == 2 ? "error" : severity == 1 ? "warning" : "none");
    w.key("message").value(error.getMessage()).key("advice").value(error.getAdvice());
    w.key("rows").beginArray();
    const auto rows = error.rows();
    for (std::size_t r = 0; r < rows.size(); ++r) {
      w.beginObject();
      const auto cells = rows.at(r).cells();
      std::vector<std::string> names;
      for (std::size_t c = 0; c < cells.size(); ++c) names.push_back(cells.at(c).getName());
      const std::vector<std::string> keys = uniqueCellKeys(names);
      for (std::size_t c = 0; c < cells.size(); ++c) w.key(keys[c]).value(cells.at(c).getValue());
      w.endObject();
    }
    w.endArray().endObject();
  }
  w.endArray().endObject();
}

}  // namespace zcli
