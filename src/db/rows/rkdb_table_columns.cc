#include "db/rows/rkdb_table_columns.h"

namespace zarezodud {

std::string RKDBColumn::schemaCode() const {
  std::string text(1, code);
  if (size > 0) text += std::to_string(size);
  return text;
}

std::vector<RKDBColumnDef> rkdbColumnDefs(const RKDBColumn* columns, std::size_t count) {
  std::vector<RKDBColumnDef> defs;
  defs.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    defs.push_back(RKDBColumnDef{columns[i].name, columns[i].schemaCode()});
  return defs;
}

std::string rkdbColumnList(const std::vector<RKDBColumnDef>& columns) {
  std::string text;
  for (const RKDBColumnDef& column : columns) {
    if (!text.empty()) text += ", ";
    text += column.name;
  }
  return text;
}

}  // namespace zarezodud
