// Trimming shared by every subsystem: leading and trailing space, tab, vertical tab,
// form feed, newline and carriage return. Pure functions; thread-safe.
#ifndef ZAREZODUD_BASE_TEXT_TRIM_H
#define ZAREZODUD_BASE_TEXT_TRIM_H

#include <string>
#include <string_view>

#include "export.h"

namespace zarezodud {

// True for space, \t, \v, \f, \n and \r.
bool isTrimSpace(char c);

// The text without leading and trailing trim-space characters.
ZAREZODUD_API std::string trimCopy(std::string_view text);

// Equality ignoring ASCII case.
ZAREZODUD_API bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace zarezodud

#endif
