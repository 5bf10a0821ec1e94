#include "database_lock.h"

namespace zcli {

std::string databaseLockStatement(const std::string& database) {
  std::string quoted;
  for (char c : "zarezodud:" + database) {
    quoted.push_back(c);
    if (c == '\'') quoted.push_back('\'');
  }
  return "DECLARE @zarezodud_lock int;\n"
         "EXEC @zarezodud_lock = sp_getapplock @Resource='" +
         quoted +
         "', @LockMode='Exclusive', @LockOwner='Session', @LockTimeout=0;\n"
         "SELECT @zarezodud_lock;\n";
}

DatabaseLockResult takeDatabaseLock(DBQueries& db, const std::string& database, std::string& message) {
  int result = 0;
  if (!db.executeSQLQueryAndReturnInt(databaseLockStatement(database), result, 0, "ON")) {
    message = "cannot take the database lock on [" + database + "]: " + db.getLastError();
    return DatabaseLockResult::kFailed;
  }
  // sp_getapplock: 0 granted, 1 granted after waiting; negative values mean not granted.
  if (result < 0) {
    message = "database [" + database + "] is locked by another upgrade run (sp_getapplock returned " +
              std::to_string(result) + "). Wait for it to end.";
    return DatabaseLockResult::kHeldElsewhere;
  }
  return DatabaseLockResult::kAcquired;
}

}  // namespace zcli
