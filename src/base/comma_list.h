// The comma-list rule of configuration values that list names (product names, list files,
// environment files, sub-module sections): cut at every ",", trim each piece, drop empty
// pieces, keep order. Pure function; thread-safe.
#ifndef ZAREZODUD_BASE_COMMA_LIST_H
#define ZAREZODUD_BASE_COMMA_LIST_H

#include <string>
#include <string_view>
#include <vector>

namespace zarezodud {

std::vector<std::string> splitCommaList(std::string_view value);

}  // namespace zarezodud

#endif
