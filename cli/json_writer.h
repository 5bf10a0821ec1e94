// JsonWriter: builds one JSON text, indented two spaces per level, with every string escaped
// so that the result is valid JSON and valid UTF-8 whatever bytes the strings held (invalid
// UTF-8 sequences become U+FFFD). The caller nests begin/end calls correctly; keys are given
// only inside objects, values only after a key or inside arrays.
//
// Thread-safety: an object belongs to one thread.
#ifndef ZAREZODUD_CLI_JSON_WRITER_H
#define ZAREZODUD_CLI_JSON_WRITER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zcli {

class JsonWriter {
 public:
  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  JsonWriter& key(std::string_view name);
  JsonWriter& value(std::string_view text);
  JsonWriter& value(const char* text) { return value(std::string_view(text)); }
  JsonWriter& value(const std::string& text) { return value(std::string_view(text)); }
  JsonWriter& value(int64_t number);
  JsonWriter& value(int number) { return value(static_cast<int64_t>(number)); }
  // Non-finite numbers have no JSON form and are written as null.
  JsonWriter& value(double number);
  JsonWriter& value(bool flag);
  JsonWriter& null();

  // The text so far, ending with a newline once the outermost value is closed.
  const std::string& str() const { return m_out; }

  // text as a quoted JSON string.
  static std::string quote(std::string_view text);

 private:
  void beforeValue();
  void open(char bracket);
  void close(char bracket);
  void newline();

  std::string m_out;
  // One entry per open container: number of members written so far.
  std::vector<int> m_counts;
  bool m_afterKey = false;
};

}  // namespace zcli

#endif
