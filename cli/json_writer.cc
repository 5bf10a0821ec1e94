#include "json_writer.h"

#include <cmath>
#include <cstdio>

namespace zcli {

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0 when it is not one (overlong
// forms, surrogates and code points above U+10FFFF are invalid).
size_t utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length;
  unsigned int codePoint;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
  }
  if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000)) return 0;
  if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
  if (codePoint > 0x10FFFF) return 0;
  return length;
}

}  // namespace

std::string JsonWriter::quote(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        ++i;
        continue;
      case '\\':
        out += "\\\\";
        ++i;
        continue;
      case '\b':
        out += "\\b";
        ++i;
        continue;
      case '\f':
        out += "\\f";
        ++i;
        continue;
      case '\n':
        out += "\\n";
        ++i;
        continue;
      case '\r':
        out += "\\r";
        ++i;
        continue;
      case '\t':
        out += "\\t";
        ++i;
        continue;
      default:
        break;
    }
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
      ++i;
      continue;
    }
    const size_t length = utf8Length(text, i);
    if (length == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    out.append(text.substr(i, length));
    i += length;
  }
  out.push_back('"');
  return out;
}

void JsonWriter::streamTo(std::function<bool(std::string_view)> sink, std::size_t bufferSize) {
  m_sink = std::move(sink);
  m_bufferSize = bufferSize;
}

void JsonWriter::handOver() {
  if (!m_sink) return;
  if (!m_sinkFailed && !m_sink(m_out)) m_sinkFailed = true;
  m_out.clear();
}

bool JsonWriter::flush() {
  handOver();
  return !m_sinkFailed;
}

void JsonWriter::newline() {
  m_out.push_back('\n');
  m_out.append(m_counts.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
  if (m_sink && m_out.size() > m_bufferSize) handOver();
  if (m_afterKey) {
    m_afterKey = false;
    return;
  }
  if (!m_counts.empty()) {
    if (m_counts.back()++ > 0) m_out.push_back(',');
    newline();
  }
}

void JsonWriter::open(char bracket) {
  beforeValue();
  m_out.push_back(bracket);
  m_counts.push_back(0);
}

void JsonWriter::close(char bracket) {
  const bool hadMembers = !m_counts.empty() && m_counts.back() > 0;
  if (!m_counts.empty()) m_counts.pop_back();
  if (hadMembers) newline();
  m_out.push_back(bracket);
  if (m_counts.empty()) m_out.push_back('\n');
}

JsonWriter& JsonWriter::beginObject() {
  open('{');
  return *this;
}
JsonWriter& JsonWriter::endObject() {
  close('}');
  return *this;
}
JsonWriter& JsonWriter::beginArray() {
  open('[');
  return *this;
}
JsonWriter& JsonWriter::endArray() {
  close(']');
  return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
  beforeValue();
  m_out += quote(name);
  m_out += ": ";
  m_afterKey = true;
  return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
  beforeValue();
  m_out += quote(text);
  return *this;
}

JsonWriter& JsonWriter::value(int64_t number) {
  beforeValue();
  m_out += std::to_string(number);
  return *this;
}

JsonWriter& JsonWriter::value(double number) {
  beforeValue();
  if (!std::isfinite(number)) {
    m_out += "null";
    return *this;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", number);
  m_out += text;
  return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
  beforeValue();
  m_out += flag ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::null() {
  beforeValue();
  m_out += "null";
  return *this;
}

}  // namespace zcli
