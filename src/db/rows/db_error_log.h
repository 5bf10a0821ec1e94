// The table framework's error log: where the framework reports what it cannot return to a
// caller (for example a table object that could not enrol in its transaction). Lines go to
// standard error unless a sink is installed; tests install one to see them.
//
// Thread-safety: logging and replacing the sink may happen from any thread; a sink is called
// under a lock, one line at a time.
#ifndef ZAREZODUD_DB_ROWS_DB_ERROR_LOG_H
#define ZAREZODUD_DB_ROWS_DB_ERROR_LOG_H

#include <functional>
#include <string>

namespace zarezodud {

using DBErrorLogSink = std::function<void(const std::string& line)>;

// Writes "<file>(<line>): <message>" to the sink. The message is used as it is, never as a
// format.
void logDBError(const char* file, int line, const std::string& message);

// Installs sink (empty: standard error) and returns the previous one.
DBErrorLogSink setDBErrorLogSink(DBErrorLogSink sink);

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_DB_ERROR_LOG_H
