#include "base/comma_list.h"

#include "base/text_trim.h"

namespace zarezodud {

std::vector<std::string> splitCommaList(std::string_view value) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(',', start);
    if (comma == std::string_view::npos) comma = value.size();
    std::string item = trimCopy(value.substr(start, comma - start));
    if (!item.empty()) items.push_back(std::move(item));
    start = comma + 1;
  }
  return items;
}

}  // namespace zarezodud
