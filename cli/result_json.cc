#include "result_json.h"

namespace zcli {

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
      for (std::size_t c = 0; c < cells.size(); ++c)
        w.key(cells.at(c).getName()).value(cells.at(c).getValue());
      w.endObject();
    }
    w.endArray().endObject();
  }
  w.endArray().endObject();
}

}  // namespace zcli
