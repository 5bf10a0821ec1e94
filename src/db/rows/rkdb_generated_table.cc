#include "db/rows/rkdb_generated_table.h"

#include <cstdint>
#include <cstdio>

#include "db/rows/db_error_log.h"
#include "db/rows/db_tran.h"
#include "db/rows/rkdb_table_columns.h"

namespace zarezodud {

void rkdbDescribeTable(DBtable& table, const RKDBTableDef& definition, void* record) {
  table.setHeaderType(definition.headerType);
  table.setColumnList(rkdbColumnList(definition.columns).c_str());
  table.setHeader(definition.headerText);
  if (definition.headerType == 1) {
    table.setVersion(definition.versionText);
    table.setSerialName(definition.serialColumn);
    table.setDataPtr(record);
    table.setDataPtr2(nullptr);
    table.setOrderBy(definition.orderBy);
  } else {
    // A procedure has no serial column; the data pointer is given so that fetches can fill
    // the record with the procedure's result rows.
    table.setDataPtr(record);
  }
  table.setStructDef(rkdbSchemaText(definition.columns).c_str());
}

void rkdbEnrolTable(DBtable& table, DBtran* tran, const char* file, int line) {
  FXCriticalSectionLock hold(DBtable::DBCriticalSection);
  if (tran == nullptr) return;
  try {
    tran->addObject(&table);
  } catch (...) {
    char message[160];
    std::snprintf(message, sizeof(message), "%s Constructor [0x%08x], caught an exception",
                  table.getName().c_str(), static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&table)));
    logDBError(file, line, message);
  }
}

}  // namespace zarezodud
