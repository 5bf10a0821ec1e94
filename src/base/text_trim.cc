#include "base/text_trim.h"

namespace zarezodud {

bool isTrimSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\n' || c == '\r'; }

std::string trimCopy(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && isTrimSpace(text[begin])) ++begin;
  while (end > begin && isTrimSpace(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

static char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace zarezodud
