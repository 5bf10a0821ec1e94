// RKSimpleDBConnObject: the SQL connection service, one connection to one database. This is
// the interface the rest of the system programs against; the production implementation runs
// over the ODBC driver manager (platform/odbc_connection.h) and tests substitute a scripted
// double. Objects are made through createSQLConnection(), whose factory a test may replace.
//
// Thread-safety: a connection object is used by one thread at a time, except cancel(), which
// another thread may call while a run is under way. The factory functions are thread-safe.
#ifndef ZAREZODUD_PLATFORM_ODBC_RK_SIMPLE_DB_CONN_OBJECT_H
#define ZAREZODUD_PLATFORM_ODBC_RK_SIMPLE_DB_CONN_OBJECT_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "export.h"
#include "platform/odbc/column_target.h"
#include "platform/settings/host_settings.h"

namespace zarezodud {


// A date and time with the 16-byte layout of the ODBC timestamp structure.
struct SQLTimestamp {
  std::int16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint32_t fraction = 0;  // nanoseconds
};
static_assert(sizeof(SQLTimestamp) == 16, "SQLTimestamp must have the ODBC timestamp layout");

// One input parameter of a prepared statement (bound to a '?' marker, in order).
struct SQLParam {
  enum class Type { kInt32, kInt64, kText, kTimestamp };
  Type type = Type::kInt32;
  bool isNull = false;
  std::int64_t integer = 0;  // kInt32 and kInt64
  std::string text;          // kText
  SQLTimestamp timestamp;    // kTimestamp

  static SQLParam ofInt32(std::int32_t v);
  static SQLParam ofInt64(std::int64_t v);
  static SQLParam ofText(std::string v);
  static SQLParam ofTimestamp(const SQLTimestamp& v);
  // A NULL of the given type.
  static SQLParam nullOf(Type t);
};

}  // namespace zarezodud

class RKSimpleDBConnObject {
 public:
  RKSimpleDBConnObject() = default;
  // Closes the connection when it is open.
  virtual ~RKSimpleDBConnObject();
  RKSimpleDBConnObject(const RKSimpleDBConnObject&) = delete;
  RKSimpleDBConnObject& operator=(const RKSimpleDBConnObject&) = delete;

  // How many times an open is tried before it fails (at least 1; the default is 1). Only
  // failures that look like the server could not be reached are tried again.
  virtual void setNumConnectAttempts(int attempts) = 0;

  // Opens the connection with an ODBC connection string. Returns 0 when open, non-zero on
  // failure (then getLastErrorStr() says why, passwords masked). The second argument is
  // accepted for callers' sake and has no effect.
  virtual int OpenSQLConnectionUsingConnectionString(const std::string& connectionString, bool unused) = 0;

  // Recorded only: statements always use the driver's default (forward-only) cursor.
  virtual void setUseSQLDefaultCursorType(bool useDefault) = 0;

  // The name of the SQL Server ODBC driver to put between "Driver={" and "}":
  // ZAREZODUD_ODBC_DRIVER when set, else the first installed of "ODBC Driver 18 for SQL
  // Server", "ODBC Driver 17 for SQL Server", "FreeTDS"; "ODBC Driver 18 for SQL Server"
  // when none is installed (so that the open fails naming it).
  static std::string DetectSQLNativeClientDriverVersion();

  // Runs a whole script: its batches (split at GO lines) in order, each as often as its
  // separator says; every message the server returns is appended to the temporary output
  // file. Returns non-zero on success, 0 when the output file cannot be used, the connection
  // is not open or a batch fails (the first failing batch ends the run; its messages are in
  // the file too). With returnCode given, writes there the first column of the first row of
  // the last result set the script produced (0 when there was none, or it is NULL or not an
  // integer); after a failure, that value as it stood when the run ended.
  virtual int executeQueryForZARezodud(const std::string& text, int* returnCode) = 0;

  // Runs text (split at GO lines like a script, messages not recorded) and leaves the first
  // result set of its last batch open for reading. Returns 0 on success. Clears the columns
  // bound for an earlier result set.
  virtual int executeQuery(const std::string& text, bool unused) = 0;

  // Prepares text (one statement with '?' markers), binds params in order and executes it,
  // leaving its first result set open like executeQuery. Returns 0 on success.
  virtual int executeWithParams(const std::string& text, const std::vector<zarezodud::SQLParam>& params) = 0;

  // The first column of the single row of the open result set, which is closed afterwards.
  // Returns 0 on success; non-zero when there is no result set or row, or the value is NULL
  // or (for the integer) not a 32-bit integer.
  virtual int getSingleRowIntResult(int& value) = 0;
  virtual int getSingleRowStringResult(std::string& value) = 0;

  // Adds a value object for the next result column (the position argument is accepted for
  // callers' sake; columns bind in the order they are added). The caller keeps ownership;
  // the object must live until the columns are cleared. Returns 0.
  virtual int RKDBVar_addCol(zarezodud::ColumnTarget* column, int position) = 0;
  // Checks the added columns against the open result set. 0 = bound; otherwise no row is read.
  virtual int RKDBVar_bind() = 0;
  // Fetches the next row into the bound objects (and indicators). 0 = a row was fetched,
  // 1 = no more rows, any other value = error (see getLastErrorStr()).
  virtual int getNextRow() = 0;
  // Closes the open result set, if any. Returns 0.
  virtual int closeCursor() = 0;
  // One 64-bit indicator per bound column, filled by each fetch: -1 for NULL, else the
  // value's length in bytes. The caller keeps ownership; null stops the filling.
  virtual void setExtIndicatorArray(void* indicators) = 0;

  // The database product's name as the driver reports it ("" when unknown or not open).
  virtual std::string getDBMSName() = 0;
  // Rows affected by the last statement executed (-1 when unknown).
  virtual long long getAffectedRowCount() = 0;

  // The text of the last failure (passwords masked); "" when nothing failed yet.
  virtual std::string getLastErrorStr() const = 0;

  // The owner's own host settings: their output directory, ODBC attributes and login timeout
  // take the place of the process-wide ones for this connection (set before it is opened).
  virtual void setHostSettings(const zarezodud::HostSettings& settings) { static_cast<void>(settings); }

  // How a run ended early: stopped by its time limit or by cancel().
  enum class Interruption { kNone, kTimedOut, kCancelled };

  // Limits every batch that executeQueryForZARezodud runs from now on to seconds of execution
  // (0, the default: no limit). A batch that runs longer is cancelled on the server and the
  // run fails; lastInterruption() then says kTimedOut.
  virtual void setQueryTimeout(int seconds) { static_cast<void>(seconds); }
  // Stops the run under way: the running batch is cancelled on the server and no further batch
  // starts; the run fails and lastInterruption() says kCancelled. Safe to call from any thread
  // (the one purpose of that: an interruption handler) while another thread runs a script on
  // this object. Returns 0 when the request was passed on, non-zero when nothing was open.
  // A cancel that arrives while nothing runs has no effect on later runs.
  virtual int cancel() { return 1; }
  // After a failed executeQueryForZARezodud: whether it was interrupted, and the line of the
  // text on which the interrupted batch began (0 when not interrupted). After an interruption
  // an open transaction is rolled back; when even that fails the connection is closed
  // (isOpen() false) so that the owner opens a new one.
  virtual Interruption lastInterruption() const { return Interruption::kNone; }
  virtual int lastInterruptedBatchLine() const { return 0; }
  // True while the connection is open.
  virtual bool isOpen() const { return true; }
  // After executeQueryForZARezodud failed: the line of its text where the failure stands (the
  // server's line of the first error record when it gave one, else the first line of the
  // failing batch); 0 when unknown.
  virtual int getLastErrorLine() const { return 0; }
  // The number of lines its caller put in front of the script (preamble batches) in the texts
  // it hands over from now on. The lines the connection shows a person (in its failure texts
  // and beside each recorded server message) are then those of the script itself; the line
  // numbers it returns (getLastErrorLine, lastInterruptedBatchLine) stay those of the text.
  virtual void setLeadingLines(int lines) { (void)lines; }
};

namespace zarezodud {

using SQLConnectionFactory = std::function<RKSimpleDBConnObject*()>;

// A new, unopened connection object from the current factory; the caller owns it. Never null:
// a factory that yields null is replaced by the production implementation.
RKSimpleDBConnObject* createSQLConnection();

// Installs factory (an empty one restores the production implementation) and returns the
// one it replaces (empty when that was the production implementation).
ZAREZODUD_API SQLConnectionFactory setSQLConnectionFactory(SQLConnectionFactory factory);

}  // namespace zarezodud

#endif
