// The one set of decimal number parsers: whole texts of digits (a sign for the signed form),
// nothing else, no blanks, checked against a range without overflow. Callers that allow
// blanks trim first. Pure functions; thread-safe.
#ifndef ZAREZODUD_BASE_NUMBERS_H
#define ZAREZODUD_BASE_NUMBERS_H

#include <cstdint>
#include <string_view>

#include "export.h"

namespace zarezodud {

// text is "-"? digits, its value within [min, max]: true with out set; false (out untouched)
// otherwise. A leading '+' is not accepted.
ZAREZODUD_API bool parseDecimal(std::string_view text, std::int64_t min, std::int64_t max, std::int64_t& out);

// The same for digits only, within [0, max].
bool parseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& out);

// Convenience for int-sized values within [min, max].
ZAREZODUD_API bool parseInt(std::string_view text, int min, int max, int& out);

}  // namespace zarezodud

#endif
