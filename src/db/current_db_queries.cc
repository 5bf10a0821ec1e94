#include "db/current_db_queries.h"

#include <atomic>

namespace zarezodud {

namespace {

std::atomic<DBQueries*> g_current{nullptr};

}  // namespace

DBQueries* currentDBQueries() { return g_current.load(); }

void setCurrentDBQueries(DBQueries* db) { g_current.store(db); }

void forgetCurrentDBQueries(const DBQueries* db) {
  if (db == nullptr) return;
  DBQueries* expected = const_cast<DBQueries*>(db);
  g_current.compare_exchange_strong(expected, nullptr);
}

}  // namespace zarezodud
