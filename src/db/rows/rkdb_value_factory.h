// Creation of column value objects from schema codes, and a copy of one value object into
// another of the same kind through base pointers. Pure functions; thread-safe.
//
// Schema codes: "i" 32-bit integer, "b" or "x" 64-bit integer, "t" date-time, "s"/"u" with or
// without a size: text.
#ifndef ZAREZODUD_DB_ROWS_RKDB_VALUE_FACTORY_H
#define ZAREZODUD_DB_ROWS_RKDB_VALUE_FACTORY_H

#include <memory>
#include <string>

#include "db/rows/rkdb_data_type_base.h"

namespace zarezodud {

// A new null value object for the schema code, or null for an unknown code.
std::unique_ptr<RKDBDataTypeBase> rkdbCreateValue(const std::string& code);

// Clones source into target with the clone of their common concrete type (value included).
// Returns false, changing nothing, when either is null or their types differ.
bool rkdbCloneValue(RKDBDataTypeBase* target, const RKDBDataTypeBase* source);

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RKDB_VALUE_FACTORY_H
