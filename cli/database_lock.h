// The server-side half of a run's exclusion: an exclusive application lock owned by the
// session of the processor's product connection (sp_getapplock, not waiting), so that a
// second run against the same database fails at once even from another host. The lock lasts
// as long as that connection.
//
// Thread-safety: uses the caller's DBQueries; one thread.
#ifndef ZAREZODUD_CLI_DATABASE_LOCK_H
#define ZAREZODUD_CLI_DATABASE_LOCK_H

#include <string>

#include "db/db_queries.h"

namespace zcli {

enum class DatabaseLockResult { kAcquired, kHeldElsewhere, kFailed };

// The statement that takes the lock on resource "zarezodud:<database>" and selects its result.
std::string databaseLockStatement(const std::string& database);

// Takes the lock through db. On kHeldElsewhere and kFailed, message says why (and what to do).
DatabaseLockResult takeDatabaseLock(DBQueries& db, const std::string& database, std::string& message);

}  // namespace zcli

#endif
