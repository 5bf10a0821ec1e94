#include "db/rows/rkdb_generated_row.h"

namespace zarezodud {

std::string rkdbSchemaText(const std::vector<RKDBColumnDef>& columns) {
  std::string text;
  for (const RKDBColumnDef& column : columns) {
    text += column.code;
    text += '|';
  }
  return text;
}

}  // namespace zarezodud
