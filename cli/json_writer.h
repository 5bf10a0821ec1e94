// JsonWriter: builds one JSON text, indented two spaces per level, with every string escaped
// so that the result is valid JSON and valid UTF-8 whatever bytes the strings held (invalid
// UTF-8 sequences become U+FFFD). The caller nests begin/end calls correctly; keys are given
// only inside objects, values only after a key or inside arrays.
//
// Thread-safety: an object belongs to one thread.
#ifndef ZAREZODUD_CLI_JSON_WRITER_H
#define ZAREZODUD_CLI_JSON_WRITER_H

#include <cstdint>
#include <functional>
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

  // The text so far, ending with a newline once the outermost value is closed (without what
  // was handed to a sink).
  const std::string& str() const { return m_out; }

  // From now on hands the text to sink whenever more than bufferSize bytes are waiting, so that
  // a large document (a run report of many thousand scripts) is never held whole; flush()
  // hands over the rest. sink returns false when it cannot take the text; the writer then
  // drops everything after and flush() returns false.
  void streamTo(std::function<bool(std::string_view)> sink, std::size_t bufferSize = 65536);
  bool flush();

  // text as a quoted JSON string.
  static std::string quote(std::string_view text);

 private:
  void beforeValue();
  void open(char bracket);
  void close(char bracket);
  void newline();

  void handOver();

  std::string m_out;
  std::function<bool(std::string_view)> m_sink;
  std::size_t m_bufferSize = 0;
  bool m_sinkFailed = false;
  // One entry per open container: number of members written so far.
  std::vector<int> m_counts;
  bool m_afterKey = false;
};

}  // namespace zcli

#endif
