#include "platform/registry/registry_format.h"
#include "base/numbers.h"

#include <optional>
#include <utility>

namespace zarezodud {
namespace {

constexpr char kHeader[] =
    "# zarezodud registry file: [key path] lines, then name=s:<text> or name=n:<number>";
constexpr char kIgnoredPrefix[] = "#! ignored: ";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Plain blanks at both ends; an escaped blank ("\x20") is not plain and stays.
std::string_view trimBlanks(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && isBlank(text[begin])) ++begin;
  size_t end = text.size();
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Position of the first unescaped occurrence of wanted, or npos.
size_t findUnescaped(std::string_view text, char wanted) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;  // skip the escaped character; "\x" forms contain no special characters
    } else if (text[i] == wanted) {
      return i;
    }
  }
  return std::string_view::npos;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool parseNumber(std::string_view digits, unsigned long long* out) {
  std::uint64_t value = 0;
  if (!parseUnsigned(digits, UINT64_MAX, value)) return false;
  *out = value;
  return true;
}

// Characters written as a backslash and one letter: {character, letter}.
constexpr char kShortEscapes[][2] = {{'\\', '\\'}, {'\n', 'n'}, {'\r', 'r'}, {'\t', 't'}, {'=', '='},
                                     {'[', '['},   {']', ']'},  {'#', '#'},  {';', ';'}};

// The letter that escapes c, or NUL when c has none.
char shortEscapeCode(char c) {
  for (const auto& pair : kShortEscapes) {
    if (pair[0] == c) return pair[1];
  }
  return '\0';
}

// The character that letter stands for, or NUL when it is not an escape letter.
char shortEscapeChar(char letter) {
  for (const auto& pair : kShortEscapes) {
    if (pair[1] == letter) return pair[0];
  }
  return '\0';
}

std::string lineProblem(size_t lineNumber, const std::string& reason) {
  return "line " + std::to_string(lineNumber) + ": " + reason;
}

}  // namespace

RegistryValue RegistryValue::ofString(std::string text) {
  RegistryValue value;
  value.type = Type::kString;
  value.text = std::move(text);
  return value;
}

RegistryValue RegistryValue::ofNumber(unsigned long long number) {
  RegistryValue value;
  value.type = Type::kNumber;
  value.number = number;
  return value;
}

bool RegistryValue::operator==(const RegistryValue& other) const {
  if (type != other.type) return false;
  return type == Type::kString ? text == other.text : number == other.number;
}

std::string escapeRegistryText(std::string_view raw) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(raw.size() + 8);
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    const unsigned char byte = static_cast<unsigned char>(c);
    const bool atEdge = i == 0 || i + 1 == raw.size();
    if (char code = shortEscapeCode(c); code != '\0') {
      out += '\\';
      out += code;
    } else if (byte >= 0x20 && byte != 0x7f && !(c == ' ' && atEdge)) {
      out += c;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0f];
    }
  }
  return out;
}

bool unescapeRegistryText(std::string_view escaped, std::string* raw, std::string* reason) {
  std::string out;
  out.reserve(escaped.size());
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\') {
      out += escaped[i];
      continue;
    }
    if (i + 1 >= escaped.size()) {
      *reason = "a backslash ends the text";
      return false;
    }
    const char code = escaped[++i];
    if (code == 'x') {
      int high = i + 1 < escaped.size() ? hexDigit(escaped[i + 1]) : -1;
      int low = i + 2 < escaped.size() ? hexDigit(escaped[i + 2]) : -1;
      if (high < 0 || low < 0) {
        *reason = "\\x must be followed by two hex digits";
        return false;
      }
      out += static_cast<char>((high << 4) | low);
      i += 2;
    } else if (char c = shortEscapeChar(code); c != '\0') {
      out += c;
    } else {
      *reason = std::string("unknown escape \\") + code;
      return false;
    }
  }
  *raw = std::move(out);
  return true;
}

RegistryContent parseRegistryText(std::string_view text) {
  RegistryContent content;
  std::optional<std::string> currentKey;
  size_t lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    std::string_view body = trimBlanks(line);
    if (body.empty()) continue;
    if (body[0] == '#' || body[0] == ';') {
      if (body != kHeader) content.keptLines.emplace_back(line);
      continue;
    }

    auto ignore = [&](const std::string& reason) {
      content.problems.push_back(lineProblem(lineNumber, reason));
      content.keptLines.push_back(kIgnoredPrefix + std::string(line));
    };

    std::string reason;
    if (body[0] == '[') {
      currentKey.reset();
      size_t close = findUnescaped(body.substr(1), ']');
      if (close == std::string_view::npos) {
        ignore("key line without a closing ']'");
        continue;
      }
      if (!trimBlanks(body.substr(close + 2)).empty()) {
        ignore("text after the key's closing ']'");
        continue;
      }
      std::string key;
      if (!unescapeRegistryText(trimBlanks(body.substr(1, close)), &key, &reason)) {
        ignore("bad key path: " + reason);
        continue;
      }
      currentKey = key;
      content.keys[key];  // a key may exist without values
      continue;
    }

    size_t equals = findUnescaped(body, '=');
    if (equals == std::string_view::npos) {
      ignore("neither a [key path] nor a name=value line");
      continue;
    }
    if (!currentKey) {
      ignore("value outside a valid [key path]");
      continue;
    }
    std::string name;
    if (!unescapeRegistryText(trimBlanks(body.substr(0, equals)), &name, &reason)) {
      ignore("bad value name: " + reason);
      continue;
    }
    std::string_view rest = trimBlanks(body.substr(equals + 1));
    if (rest.size() >= 2 && rest.substr(0, 2) == "n:") {
      unsigned long long number = 0;
      if (!parseNumber(trimBlanks(rest.substr(2)), &number)) {
        ignore("number value is not an unsigned 64-bit decimal");
        continue;
      }
      content.keys[*currentKey][name] = RegistryValue::ofNumber(number);
    } else if (rest.size() >= 2 && rest.substr(0, 2) == "s:") {
      std::string value;
      if (!unescapeRegistryText(trimBlanks(rest.substr(2)), &value, &reason)) {
        ignore("bad string value: " + reason);
        continue;
      }
      content.keys[*currentKey][name] = RegistryValue::ofString(std::move(value));
    } else {
      ignore("value must start with s: (text) or n: (number)");
    }
  }
  return content;
}

std::string formatRegistryText(const RegistryContent& content) {
  std::string out = kHeader;
  out += '\n';
  for (const std::string& kept : content.keptLines) {
    out += kept;
    out += '\n';
  }
  for (const auto& [key, values] : content.keys) {
    if (values.empty()) continue;
    out += '[';
    out += escapeRegistryText(key);
    out += "]\n";
    for (const auto& [name, value] : values) {
      out += escapeRegistryText(name);
      if (value.type == RegistryValue::Type::kNumber) {
        out += "=n:";
        out += std::to_string(value.number);
      } else {
        out += "=s:";
        out += escapeRegistryText(value.text);
      }
      out += '\n';
    }
  }
  return out;
}

}  // namespace zarezodud
