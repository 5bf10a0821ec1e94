#include "platform/odbc/connection_string_rules.h"
#include "base/numbers.h"

#include <cctype>
#include <vector>

#include "base/text_trim.h"

namespace zarezodud {
namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool startsWithIgnoreCase(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (lower(text[at + i]) != lower(word[i])) return false;
  }
  return true;
}

// One key=value attribute of a connection string, as offsets into it.
struct Attribute {
  std::size_t begin = 0;  // first character of the key
  std::size_t end = 0;    // one past the value (at the ';' or the end)
  std::string key;        // trimmed
  std::string value;      // trimmed, braces removed
};

// Splits a connection string into attributes; braced values may hold ';' and "}}".
std::vector<Attribute> parseAttributes(std::string_view s) {
  std::vector<Attribute> result;
  std::size_t i = 0;
  while (i < s.size()) {
    Attribute a;
    a.begin = i;
    std::size_t eq = i;
    while (eq < s.size() && s[eq] != '=' && s[eq] != ';') ++eq;
    a.key = trimCopy(s.substr(i, eq - i));
    std::size_t j = eq;
    if (j < s.size() && s[j] == '=') {
      ++j;
      while (j < s.size() && (s[j] == ' ' || s[j] == '\t')) ++j;
      if (j < s.size() && s[j] == '{') {
        ++j;
        while (j < s.size()) {
          if (s[j] == '}') {
            if (j + 1 < s.size() && s[j + 1] == '}') {
              a.value += '}';
              j += 2;
              continue;
            }
            ++j;
            break;
          }
          a.value += s[j++];
        }
        while (j < s.size() && s[j] != ';') ++j;
      } else {
        std::size_t start = j;
        while (j < s.size() && s[j] != ';') ++j;
        a.value = trimCopy(s.substr(start, j - start));
      }
    }
    a.end = j;
    if (!a.key.empty()) result.push_back(a);
    i = j < s.size() ? j + 1 : j;
  }
  return result;
}

bool hasAttribute(std::string_view s, std::string_view key) {
  std::string ignored;
  return findConnectionAttribute(s, key, ignored);
}

std::string trimSemicolons(std::string_view text) {
  std::string t = trimCopy(text);
  std::size_t b = 0, e = t.size();
  while (b < e && (t[b] == ';' || isTrimSpace(t[b]))) ++b;
  while (e > b && (t[e - 1] == ';' || isTrimSpace(t[e - 1]))) --e;
  return t.substr(b, e - b);
}

// Inserts ";" + piece after position `at` of s (at is the end of an attribute).
void insertAttributes(std::string& s, std::size_t at, const std::string& piece) { s.insert(at, ";" + piece); }

void appendAttribute(std::string& s, const std::string& piece) {
  if (!s.empty() && s.back() != ';') s += ';';
  s += piece;
}

}  // namespace

std::string quoteConnectionValue(std::string_view value) {
  bool plain = true;
  for (const char c : value) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == ';' || c == '{' || c == '}' || c == '=') {
      plain = false;
      break;
    }
  }
  if (plain) return std::string(value);
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted += '{';
  for (const char c : value) {
    quoted += c;
    if (c == '}') quoted += '}';
  }
  quoted += '}';
  return quoted;
}

bool hasUncarriableCharacter(std::string_view value) {
  return value.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

namespace {

// value's UTF-8 as ISO-8859-1 into out; false when it holds a character beyond U+00FF. Bytes
// that are not UTF-8 are taken as ISO-8859-1 already and kept.
bool utf8ToLatin1(const std::string& value, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < value.size(); ++i) {
    const unsigned char lead = static_cast<unsigned char>(value[i]);
    if (lead < 0x80) {
      out += value[i];
      continue;
    }
    const bool twoBytes = (lead & 0xE0) == 0xC0 && i + 1 < value.size() &&
                          (static_cast<unsigned char>(value[i + 1]) & 0xC0) == 0x80;
    if (twoBytes) {
      const unsigned code = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(value[i + 1]) & 0x3Fu);
      if (code > 0xFF) return false;
      out += static_cast<char>(code);
      ++i;
      continue;
    }
    const bool longer = (lead & 0xF0) == 0xE0 || (lead & 0xF8) == 0xF0;
    if (longer && i + 1 < value.size() && (static_cast<unsigned char>(value[i + 1]) & 0xC0) == 0x80) {
      return false;  // a character of three or four UTF-8 bytes is beyond U+07FF
    }
    out += value[i];
  }
  return true;
}

}  // namespace

bool adaptConnectionStringToDriver(std::string_view connectionString, std::string& out,
                                   std::string& problem) {
  std::string driver;
  if (!findConnectionAttribute(connectionString, "Driver", driver) ||
      !equalsIgnoreCase(trimCopy(driver), "FreeTDS")) {
    out.assign(connectionString);
    return true;
  }
  std::string adapted;
  std::string latin1;
  for (const Attribute& a : parseAttributes(connectionString)) {
    if (a.value.find("};") != std::string::npos) {
      problem = "The " + a.key +
                " value holds \"};\", which the FreeTDS driver cannot take in a connection string.";
      return false;
    }
    if (!utf8ToLatin1(a.value, latin1)) {
      problem = "The " + a.key +
                " value holds a character outside ISO-8859-1, which the FreeTDS driver cannot send at login.";
      return false;
    }
    adapted += a.key;
    adapted += '=';
    const bool braced = equalsIgnoreCase(a.key, "Driver") || quoteConnectionValue(latin1) != latin1;
    adapted += braced ? "{" + latin1 + "}" : latin1;
    adapted += ';';
  }
  out = std::move(adapted);
  return true;
}

bool findConnectionAttribute(std::string_view connectionString, std::string_view key, std::string& value) {
  for (const Attribute& a : parseAttributes(connectionString)) {
    if (equalsIgnoreCase(a.key, key)) {
      value = a.value;
      return true;
    }
  }
  return false;
}

std::string composeConnectionString(std::string_view connectionString, std::string_view extraAttributes) {
  std::string result(connectionString);
  const std::string extras = trimSemicolons(extraAttributes);
  if (!extras.empty()) {
    std::vector<Attribute> attrs = parseAttributes(result);
    std::size_t insertAt = std::string::npos;
    for (std::size_t k = 0; k < attrs.size(); ++k) {
      if (equalsIgnoreCase(attrs[k].key, "MARS_Connection")) {
        insertAt = attrs[k].end;
        if (k + 1 < attrs.size() && equalsIgnoreCase(attrs[k + 1].key, "AnsiNPW"))
          insertAt = attrs[k + 1].end;
        break;
      }
    }
    if (insertAt == std::string::npos) {
      appendAttribute(result, extras);
    } else {
      insertAttributes(result, insertAt, extras);
    }
  }
  std::string driver;
  if (findConnectionAttribute(result, "Driver", driver) && equalsIgnoreCase(trimCopy(driver), "FreeTDS")) {
    if (!hasAttribute(result, "TDS_Version")) appendAttribute(result, "TDS_Version=7.4");
    if (!hasAttribute(result, "ClientCharset") && !hasAttribute(result, "CharSet")) {
      appendAttribute(result, "ClientCharset=UTF-8");
    }
  }
  return result;
}

std::string maskPasswords(std::string_view text) {
  static const std::string_view kKeys[] = {"PWD", "Password"};
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    // Any occurrence of a key followed by '=' is masked, wherever it stands: masking too
    // much is harmless, showing a password is not.
    bool masked = false;
    for (std::string_view key : kKeys) {
      if (!startsWithIgnoreCase(text, i, key)) continue;
      std::size_t j = i + key.size();
      while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
      if (j >= text.size() || text[j] != '=') continue;
      ++j;
      out.append(text.substr(i, j - i));
      while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
      if (j < text.size() && text[j] == '{') {
        const std::size_t open = j;
        ++j;
        while (j < text.size()) {
          if (text[j] == '}') {
            if (j + 1 < text.size() && text[j + 1] == '}') {
              j += 2;
              continue;
            }
            ++j;
            break;
          }
          ++j;
        }
        // The FreeTDS reading: the value ends at the first "};" (or the end of the text).
        const std::size_t close = text.find("};", open + 1);
        const std::size_t freeTdsEnd = close == std::string_view::npos ? text.size() : close + 1;
        if (freeTdsEnd > j) j = freeTdsEnd;
      } else {
        // A plain value ends at ';' or at the end of the line or text. A closing bracket does
        // not end it: a password may hold one, and hiding a little more text is the safe side.
        while (j < text.size() && text[j] != ';' && text[j] != '\n' && text[j] != '\r') ++j;
      }
      out += "*****";
      i = j;
      masked = true;
      break;
    }
    if (!masked) out += text[i++];
  }
  return out;
}

int loginTimeoutSeconds(const char* envValue) {
  constexpr int kDefault = 30;
  if (envValue == nullptr) return kDefault;
  int value = 0;
  return parseInt(trimCopy(envValue), 1, 3600, value) ? value : kDefault;
}

}  // namespace zarezodud
