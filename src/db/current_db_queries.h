// The process's current DBQueries: the object that last opened its product connection or made
// it the table framework's current connection. Free functions that need a product database but are given
// none (addClientSPVersionString) work on it. A DBQueries object forgets itself here when it
// is destroyed, so the pointer never outlives its object.
//
// Thread-safety: reading and changing the pointer is atomic; using the object it names is
// subject to DBQueries' own rule (one thread at a time).
#ifndef ZAREZODUD_DB_CURRENT_DB_QUERIES_H
#define ZAREZODUD_DB_CURRENT_DB_QUERIES_H

class DBQueries;

namespace zarezodud {

// The current object (not owned), or null when none has used the table framework yet or the
// last one is gone.
DBQueries* currentDBQueries();
// Makes db (not owned; null allowed) the current object.
void setCurrentDBQueries(DBQueries* db);
// Clears the current object when it is db.
void forgetCurrentDBQueries(const DBQueries* db);

}  // namespace zarezodud

#endif
