#include "db/script_settings.h"

namespace zarezodud {

bool isScriptVariableName(const std::string& name) {
  if (name.empty()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    const bool digitOrDash = (c >= '0' && c <= '9') || c == '-';
    if (!letter && !(i > 0 && digitOrDash)) return false;
  }
  return true;
}

bool parseScriptVariable(const std::string& text, std::string& name, std::string& value, std::string& error) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos) {
    error = "[" + text + "] is not NAME=VALUE";
    return false;
  }
  std::string candidate = text.substr(0, eq);
  // Blanks around the name are layout ("A=1; B=2"); the value is taken as written.
  const std::size_t first = candidate.find_first_not_of(" \t");
  candidate = first == std::string::npos
                  ? std::string()
                  : candidate.substr(first, candidate.find_last_not_of(" \t") + 1 - first);
  if (!isScriptVariableName(candidate)) {
    error =
        "[" + candidate +
        "] is not a scripting variable name (letters, digits, '_' and '-', starting with a letter or '_')";
    return false;
  }
  if (text.find_first_of("\r\n", eq + 1) != std::string::npos) {
    error = "the value of [" + candidate + "] holds a line break, which would move the script's lines";
    return false;
  }
  name = candidate;
  value = text.substr(eq + 1);
  return true;
}

bool parseScriptVariableList(const std::string& text,
                             std::vector<std::pair<std::string, std::string>>& variables,
                             std::string& error) {
  std::vector<std::pair<std::string, std::string>> parsed;
  std::string item;
  const auto flush = [&]() {
    if (item.empty()) return true;
    std::string name, value;
    if (!parseScriptVariable(item, name, value, error)) return false;
    parsed.emplace_back(name, value);
    item.clear();
    return true;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ';') {
      item += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == ';') {
      item += ';';
      ++i;
    } else if (!flush()) {
      return false;
    }
  }
  if (!flush()) return false;
  variables.insert(variables.end(), parsed.begin(), parsed.end());
  return true;
}

std::string scriptVariableListItem(const std::string& name, const std::string& value) {
  std::string item = name + "=";
  for (char c : value) {
    item += c;
    if (c == ';') item += ';';
  }
  return item;
}

}  // namespace zarezodud
