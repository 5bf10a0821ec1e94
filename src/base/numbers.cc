#include "base/numbers.h"

namespace zarezodud {

bool parseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& out) {
  if (text.empty()) return false;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (max - digit) / 10) return false;  // value * 10 + digit would pass max
    value = value * 10 + digit;
  }
  out = value;
  return true;
}

bool parseDecimal(std::string_view text, std::int64_t min, std::int64_t max, std::int64_t& out) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  // The magnitude may reach |min| for negative values (INT64_MIN's magnitude is max + 1).
  const std::uint64_t limit = negative ? (min >= 0 ? 0 : static_cast<std::uint64_t>(-(min + 1)) + 1)
                                       : (max < 0 ? 0 : static_cast<std::uint64_t>(max));
  if ((negative && min >= 0) || (!negative && max < 0)) return false;
  std::uint64_t magnitude = 0;
  if (!parseUnsigned(text, limit, magnitude)) return false;
  std::int64_t value;
  if (negative) {
    value = magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1;
  } else {
    value = static_cast<std::int64_t>(magnitude);
  }
  if (value < min || value > max) return false;
  out = value;
  return true;
}

bool parseInt(std::string_view text, int min, int max, int& out) {
  std::int64_t value = 0;
  if (!parseDecimal(text, min, max, value)) return false;
  out = static_cast<int>(value);
  return true;
}

}  // namespace zarezodud
