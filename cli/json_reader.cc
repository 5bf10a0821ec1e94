#include "json_reader.h"

#include <cmath>
#include <cstdlib>

namespace zcli {

const JsonValue* JsonValue::find(const std::string& name) const {
  if (type != Type::kObject) return nullptr;
  for (const auto& member : members) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

std::string JsonValue::stringOr(const std::string& name, const std::string& fallback) const {
  const JsonValue* v = find(name);
  return v != nullptr && v->type == Type::kString ? v->text : fallback;
}

int64_t JsonValue::intOr(const std::string& name, int64_t fallback) const {
  const JsonValue* v = find(name);
  return v != nullptr && v->type == Type::kNumber ? static_cast<int64_t>(v->number) : fallback;
}

namespace {

constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(const std::string& text) : m_text(text) {}

  bool document(JsonValue& out, std::string& error) {
    skipSpace();
    if (!parseValue(out, 0)) {
      error = m_error;
      return false;
    }
    skipSpace();
    if (m_pos != m_text.size()) {
      fail("unexpected text after the value");
      error = m_error;
      return false;
    }
    return true;
  }

 private:
  bool fail(const std::string& reason) {
    size_t line = 1, column = 1;
    for (size_t i = 0; i < m_pos && i < m_text.size(); ++i) {
      if (m_text[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    m_error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + reason;
    return false;
  }

  void skipSpace() {
    while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n' ||
                                     m_text[m_pos] == '\r')) {
      ++m_pos;
    }
  }

  bool literal(const char* word) {
    const std::string w(word);
    if (m_text.compare(m_pos, w.size(), w) != 0) return fail("invalid literal");
    m_pos += w.size();
    return true;
  }

  bool parseValue(JsonValue& out, int depth) {
    if (depth >= kMaxDepth) return fail("nesting too deep");
    if (m_pos >= m_text.size()) return fail("unexpected end of text");
    const char c = m_text[m_pos];
    if (c == '{') return parseObject(out, depth);
    if (c == '[') return parseArray(out, depth);
    if (c == '"') {
      out.type = JsonValue::Type::kString;
      return parseString(out.text);
    }
    if (c == 't') {
      out.type = JsonValue::Type::kBool;
      out.flag = true;
      return literal("true");
    }
    if (c == 'f') {
      out.type = JsonValue::Type::kBool;
      return literal("false");
    }
    if (c == 'n') {
      out.type = JsonValue::Type::kNull;
      return literal("null");
    }
    return parseNumber(out);
  }

  bool parseObject(JsonValue& out, int depth) {
    out.type = JsonValue::Type::kObject;
    ++m_pos;
    skipSpace();
    if (m_pos < m_text.size() && m_text[m_pos] == '}') {
      ++m_pos;
      return true;
    }
    while (true) {
      skipSpace();
      if (m_pos >= m_text.size() || m_text[m_pos] != '"') return fail("expected a member name");
      std::string name;
      if (!parseString(name)) return false;
      skipSpace();
      if (m_pos >= m_text.size() || m_text[m_pos] != ':') return fail("expected ':'");
      ++m_pos;
      skipSpace();
      JsonValue member;
      if (!parseValue(member, depth + 1)) return false;
      out.members.emplace_back(std::move(name), std::move(member));
      skipSpace();
      if (m_pos < m_text.size() && m_text[m_pos] == ',') {
        ++m_pos;
        continue;
      }
      if (m_pos < m_text.size() && m_text[m_pos] == '}') {
        ++m_pos;
        return true;
      }
      return fail("expected ',' or '}'");
    }
  }

  bool parseArray(JsonValue& out, int depth) {
    out.type = JsonValue::Type::kArray;
    ++m_pos;
    skipSpace();
    if (m_pos < m_text.size() && m_text[m_pos] == ']') {
      ++m_pos;
      return true;
    }
    while (true) {
      skipSpace();
      JsonValue item;
      if (!parseValue(item, depth + 1)) return false;
      out.items.push_back(std::move(item));
      skipSpace();
      if (m_pos < m_text.size() && m_text[m_pos] == ',') {
        ++m_pos;
        continue;
      }
      if (m_pos < m_text.size() && m_text[m_pos] == ']') {
        ++m_pos;
        return true;
      }
      return fail("expected ',' or ']'");
    }
  }

  bool hex4(unsigned int& value) {
    if (m_pos + 4 > m_text.size()) return fail("short \\u escape");
    value = 0;
    for (int k = 0; k < 4; ++k) {
      const char h = m_text[m_pos++];
      value <<= 4;
      if (h >= '0' && h <= '9')
        value |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f')
        value |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F')
        value |= static_cast<unsigned>(h - 'A' + 10);
      else
        return fail("bad \\u escape");
    }
    return true;
  }

  static void appendUtf8(std::string& out, unsigned int cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  bool parseString(std::string& out) {
    ++m_pos;  // opening quote
    while (true) {
      if (m_pos >= m_text.size()) return fail("unterminated string");
      const unsigned char c = static_cast<unsigned char>(m_text[m_pos]);
      if (c == '"') {
        ++m_pos;
        return true;
      }
      if (c < 0x20) return fail("control character in string");
      if (c != '\\') {
        out.push_back(static_cast<char>(c));
        ++m_pos;
        continue;
      }
      ++m_pos;
      if (m_pos >= m_text.size()) return fail("unterminated escape");
      const char e = m_text[m_pos++];
      switch (e) {
        case '"':
          out.push_back('"');
          break;
        case '\\':
          out.push_back('\\');
          break;
        case '/':
          out.push_back('/');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          unsigned int cp = 0;
          if (!hex4(cp)) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            unsigned int low = 0;
            if (m_text.compare(m_pos, 2, "\\u") != 0) return fail("lone surrogate");
            m_pos += 2;
            if (!hex4(low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return fail("lone surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return fail("lone surrogate");
          }
          appendUtf8(out, cp);
          break;
        }
        default:
          return fail("bad escape");
      }
    }
  }

  bool parseNumber(JsonValue& out) {
    const size_t start = m_pos;
    if (m_pos < m_text.size() && m_text[m_pos] == '-') ++m_pos;
    const auto digits = [&]() {
      const size_t from = m_pos;
      while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') ++m_pos;
      return m_pos - from;
    };
    const size_t intStart = m_pos;
    const size_t intDigits = digits();
    if (intDigits == 0) return fail("invalid value");
    if (intDigits > 1 && m_text[intStart] == '0') return fail("leading zero in number");
    if (m_pos < m_text.size() && m_text[m_pos] == '.') {
      ++m_pos;
      if (digits() == 0) return fail("digits expected after '.'");
    }
    if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
      ++m_pos;
      if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-')) ++m_pos;
      if (digits() == 0) return fail("digits expected in exponent");
    }
    out.type = JsonValue::Type::kNumber;
    out.number = std::strtod(m_text.substr(start, m_pos - start).c_str(), nullptr);
    if (!std::isfinite(out.number)) return fail("number out of range");
    return true;
  }

  const std::string& m_text;
  size_t m_pos = 0;
  std::string m_error;
};

}  // namespace

bool parseJson(const std::string& text, JsonValue& out, std::string& error) {
  out = JsonValue();
  return Parser(text).document(out, error);
}

}  // namespace zcli
