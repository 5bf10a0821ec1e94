#include "platform/odbc/odbc_connection.h"

#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <thread>

#include "base/numbers.h"
#include "base/text_trim.h"
#include "platform/odbc/batch_deadline.h"
#include "platform/odbc/column_target.h"
#include "platform/odbc/connection_string_rules.h"
#include "platform/odbc/temp_output_file.h"
#include "platform/settings/host_settings.h"
#include "platform/text/batch_splitter.h"
#include "platform/text/script_decoder.h"

namespace zarezodud {
namespace {

SQLHSTMT stmtOf(const OdbcHandle& h) { return static_cast<SQLHSTMT>(h.get()); }

// Strict decimal integer (optional sign, blanks around) within 32 bits.
bool parseInt32(const std::string& text, int& value) {
  std::string t = trimCopy(text);
  if (t.size() > 1 && t[0] == '+' && t[1] != '-') t.erase(0, 1);
  return parseInt(t, INT_MIN, INT_MAX, value);
}

bool onlySequenceErrors(const std::vector<OdbcDiagnostic>& records) {
  if (records.empty()) return false;
  for (const OdbcDiagnostic& d : records) {
    if (d.state != "HY010") return false;
  }
  return true;
}

// While a time limit holds, the driver's own query timeout is set well past it: the watchdog
// cancels first, and the driver's timeout only ends a wait for a server that does not even
// acknowledge the cancel. Reset to none afterwards, since the statement handle is reused.
class DriverTimeoutBackstop {
 public:
  DriverTimeoutBackstop(const OdbcHandle& stmt, int limitSeconds) : m_stmt(stmt), m_set(limitSeconds > 0) {
    if (m_set) setTimeout(static_cast<SQLULEN>(limitSeconds) + 30);
  }
  ~DriverTimeoutBackstop() {
    if (m_set) setTimeout(0);
  }
  DriverTimeoutBackstop(const DriverTimeoutBackstop&) = delete;
  DriverTimeoutBackstop& operator=(const DriverTimeoutBackstop&) = delete;

 private:
  // The handle may have been freed meanwhile (a connection closed after an interruption).
  void setTimeout(SQLULEN seconds) {
    if (m_stmt) {
      SQLSetStmtAttr(stmtOf(m_stmt), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds),
                     SQL_IS_UINTEGER);
    }
  }
  const OdbcHandle& m_stmt;
  bool m_set;
};

}  // namespace

OdbcConnection::OdbcConnection() = default;

OdbcConnection::~OdbcConnection() {
  closeHandles();
  m_env.reset();
}

void OdbcConnection::closeHandles() {
  std::lock_guard<std::mutex> lock(m_handleMutex);
  m_stmt.reset();
  m_dbc.reset();
}

bool OdbcConnection::isOpen() const {
  std::lock_guard<std::mutex> lock(m_handleMutex);
  return m_dbc.connected() && m_stmt && !m_linkLost;
}

bool OdbcConnection::cancelStatement() {
  std::lock_guard<std::mutex> lock(m_handleMutex);
  if (!m_stmt || !m_dbc.connected() || m_recovering) return false;
  SQLCancel(stmtOf(m_stmt));
  return true;
}

int OdbcConnection::cancel() {
  m_cancelRequested = true;
  return cancelStatement() ? 0 : 1;
}

void OdbcConnection::checkSessionAfterFailure() {
  if (m_linkLost || !m_stmt) return;
  SQLUINTEGER dead = SQL_CD_FALSE;
  if (SQL_SUCCEEDED(SQLGetConnectAttr(m_dbc.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
      dead == SQL_CD_TRUE) {
    m_linkLost = true;
    return;
  }
  ScriptRun quiet;
  if (!runBatch("SELECT 1", quiet)) m_linkLost = true;
}

void OdbcConnection::recoverAfterInterruption() {
  {
    std::lock_guard<std::mutex> lock(m_handleMutex);
    m_recovering = true;
  }
  ScriptRun quiet;
  const bool recovered = m_stmt && runBatch("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION", quiet);
  {
    std::lock_guard<std::mutex> lock(m_handleMutex);
    m_recovering = false;
  }
  if (!recovered) closeHandles();
}

void OdbcConnection::setNumConnectAttempts(int attempts) { m_attempts = attempts < 1 ? 1 : attempts; }

template <class Result, class Body, class OnFailure>
Result OdbcConnection::guarded(const char* where, Result failure, Body&& body, OnFailure&& onFailure) {
  try {
    return body();
  } catch (const std::exception& e) {
    onFailure();
    setError(std::string(where) + " failed: " + e.what());
  } catch (...) {
    onFailure();
    setError(std::string(where) + " failed with an exception that is not a standard one.");
  }
  return failure;
}

template <class Result, class Body>
Result OdbcConnection::guarded(const char* where, Result failure, Body&& body) {
  return guarded(where, std::move(failure), std::forward<Body>(body), [] {});
}

void OdbcConnection::setError(const std::string& text) {
  try {
    m_lastError = maskPasswords(text);
  } catch (const std::exception&) {
    // Out of memory while masking: no text rather than an unmasked one or an escaping
    // exception; the caller's failure result still tells the failure.
    m_lastError.clear();
  }
}

bool OdbcConnection::requireOpen() {
  if (m_dbc.connected() && m_stmt) return true;
  setError("The connection is not open.");
  return false;
}

int OdbcConnection::OpenSQLConnectionUsingConnectionString(const std::string& connectionString, bool unused) {
  static_cast<void>(unused);
  return guarded("Opening the connection", 1, [&] {
    closeResultSet();
    clearColumns();
    closeHandles();
    m_linkLost = false;
    if (!m_env && !m_env.allocate(OdbcHandle::Kind::kEnvironment, nullptr)) {
      setError("Cannot allocate an ODBC environment.");
      return 1;
    }
    const std::string extras = effectiveOdbcAttributes(&m_settings);
    std::string full;
    std::string problem;
    if (!adaptConnectionStringToDriver(composeConnectionString(connectionString, extras), full, problem)) {
      setError(problem);
      return 1;
    }
    const int timeout = effectiveLoginTimeoutSeconds(&m_settings);
    std::string error;
    for (int attempt = 1; attempt <= m_attempts; ++attempt) {
      if (!m_dbc.allocate(OdbcHandle::Kind::kConnection, &m_env)) {
        setError("Cannot allocate an ODBC connection handle.");
        return 1;
      }
      SQLSetConnectAttr(m_dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(timeout)), SQL_IS_UINTEGER);
      SQLCHAR completed[1024];
      SQLSMALLINT completedLength = 0;
      SQLRETURN rc =
          SQLDriverConnect(m_dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(full.c_str())),
                           SQL_NTS, completed, sizeof completed, &completedLength, SQL_DRIVER_NOPROMPT);
      std::vector<OdbcDiagnostic> diags = collectDiagnostics(m_dbc, false);
      if (SQL_SUCCEEDED(rc)) {
        std::unique_lock<std::mutex> lock(m_handleMutex);
        m_dbc.setConnected(true);
        if (!m_stmt.allocate(OdbcHandle::Kind::kStatement, &m_dbc)) {
          lock.unlock();
          setError(odbcFailureText(m_dbc, "Cannot allocate an ODBC statement handle"));
          closeHandles();
          return 1;
        }
        m_lastError.clear();
        return 0;
      }
      m_dbc.reset();
      error = "Cannot open the connection [" + full + "] (attempt " + std::to_string(attempt) + " of " +
              std::to_string(m_attempts) + "): " + describeDiagnostics(diags, "the driver gave no reason.");
      if (attempt == m_attempts || !isConnectRetryable(diags)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(m_retryPauseMs));
    }
    setError(error);
    return 1;
  });
}

std::size_t OdbcConnection::noteDiagnostics(short rc, ScriptRun& run, bool dropTruncation) {
  std::vector<OdbcDiagnostic> diags = collectDiagnostics(m_stmt, true);
  if (diags.empty()) return 0;
  const std::time_t now = std::time(nullptr);
  for (const OdbcDiagnostic& d : diags) {
    if (dropTruncation && d.state == "01004") continue;
    // Class 08 is a connection exception, and the server ends the session after an error of
    // severity 20 or more: either way the connection is gone.
    if (d.state.compare(0, 2, "08") == 0 || d.severity >= 20) m_linkLost = true;
    if (run.out) {
      run.out->append(formatMessageRecord(now, d.state, d.nativeError, d.message, d.recNum,
                                          shownLine(scriptLineOf(d.line, run.startLine))));
    }
    if (rc == SQL_ERROR) {
      run.errors.push_back(d);
    } else if (isCharacterConversionDiagnostic(d)) {
      run.errors.push_back(d);
    }
    if (isCharacterConversionDiagnostic(d)) run.conversionFailed = true;
  }
  return diags.size();
}

bool OdbcConnection::probeReturnCode(ScriptRun& run) {
  SQLHSTMT stmt = stmtOf(m_stmt);
  SQLSMALLINT columns = 0;
  SQLRETURN rc = SQLNumResultCols(stmt, &columns);
  noteDiagnostics(rc, run);
  if (rc == SQL_ERROR) return false;
  if (columns <= 0) return true;  // not a result set (a row count or nothing)
  rc = SQLFetch(stmt);
  noteDiagnostics(rc, run);
  if (rc == SQL_ERROR) return false;
  run.lastCode = 0;
  if (rc == SQL_NO_DATA) return true;
  char buffer[64] = {0};
  SQLLEN indicator = 0;
  rc = SQLGetData(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
  // A truncation here only means the value is too long to be an integer: not a message.
  noteDiagnostics(rc, run, true);
  if (rc == SQL_SUCCESS && indicator != SQL_NULL_DATA) {
    int code = 0;
    if (parseInt32(buffer, code)) run.lastCode = code;
  }
  return true;
}

namespace {

// A record for text that is refused before it is sent because it is not valid UTF-8.
OdbcDiagnostic notUtf8(std::string_view text, std::size_t at) {
  const int line =
      1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
  return OdbcDiagnostic{"22018", 0,
                        "The text is not valid UTF-8 at line " + std::to_string(line) + " of the batch" +
                            "; it was not sent (the driver would cut it there).",
                        0, line};
}

}  // namespace

bool OdbcConnection::runBatch(std::string_view text, ScriptRun& run) {
  SQLHSTMT stmt = stmtOf(m_stmt);
  run.conversionFailed = false;
  const std::size_t bad = findInvalidUtf8(text);
  if (bad != std::string_view::npos) {
    run.errors.push_back(notUtf8(text, bad));
    return false;
  }
  SQLFreeStmt(stmt, SQL_CLOSE);
  SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.data())),
                               static_cast<SQLINTEGER>(text.size()));
  noteDiagnostics(rc, run);
  bool failed = !(SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA);
  if (rc == SQL_INVALID_HANDLE || rc == SQL_NEED_DATA || rc == SQL_STILL_EXECUTING) {
    if (run.errors.empty())
      run.errors.push_back(OdbcDiagnostic{"HY000", 0, "The driver could not run the batch.", 0, 0});
    SQLFreeStmt(stmt, SQL_CLOSE);
    return false;
  }
  // A batch may hold several statements: walk every result, also after an error, so that
  // no message of the batch is lost. A driver that keeps failing without saying anything new
  // ends the walk.
  bool current = SQL_SUCCEEDED(rc);
  int silentErrors = 0;
  for (int guard = 0; guard < 1000000; ++guard) {
    if (current && !probeReturnCode(run)) failed = true;
    rc = SQLMoreResults(stmt);
    if (rc == SQL_ERROR && onlySequenceErrors(collectDiagnostics(m_stmt, false))) {
      // The driver manager's "function sequence error": there is nothing left to walk after
      // a failed execution. Not a server message; the failure is already known.
      break;
    }
    const std::size_t count = noteDiagnostics(rc, run);
    if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE) break;
    if (rc == SQL_ERROR) {
      failed = true;
      current = false;
      if (count == 0 || ++silentErrors > 100) break;
      continue;
    }
    current = SQL_SUCCEEDED(rc);
    if (!current) break;
  }
  SQLFreeStmt(stmt, SQL_CLOSE);
  // The driver said it could not convert the text: what reached the server is not the batch.
  if (run.conversionFailed) failed = true;
  if (failed && run.errors.empty()) {
    run.errors.push_back(OdbcDiagnostic{"HY000", 0, "The batch failed without a diagnostic record.", 0, 0});
  }
  return !failed;
}

namespace {

// " Script output could not be recorded: ..." when messages of the run were lost, else "".
std::string unrecordedOutput(const TempOutputFile& out) {
  return out.writeError().empty() ? std::string()
                                  : " Script output could not be recorded: " + out.writeError();
}

}  // namespace

int OdbcConnection::executeQueryForZARezodud(const std::string& text, int* returnCode) {
  return guarded("Running the script", 0, [&] {
    m_lastErrorLine = 0;
    if (!requireOpen()) return 0;
    closeResultSet();
    clearColumns();
    if (!m_output) m_output = std::make_unique<TempOutputFile>();
    std::string error;
    if (!m_output->openOrKeepIn(effectiveOutputDirectory(&m_settings), error)) {
      setError(error);
      return 0;
    }
    ScriptRun run;
    run.out = m_output.get();
    m_interruption = Interruption::kNone;
    m_interruptedLine = 0;
    m_cancelRequested = false;
    std::unique_ptr<BatchDeadline> deadline;
    DriverTimeoutBackstop backstop(m_stmt, m_queryTimeout);
    if (m_queryTimeout > 0) deadline = std::make_unique<BatchDeadline>([this] { cancelStatement(); });
    const std::string_view script(text);
    for (const SqlBatch& batch : splitSqlBatches(script)) {
      run.startLine = batch.startLine;
      for (int i = 0; i < batch.repeatCount; ++i) {
        bool ok = !m_cancelRequested;
        if (ok) {
          if (deadline) deadline->arm(std::chrono::seconds(m_queryTimeout));
          ok = runBatch(batch.textIn(script), run);
          if (deadline && deadline->disarm()) {
            m_interruption = Interruption::kTimedOut;
            ok = false;
          }
        }
        if (m_interruption == Interruption::kNone && m_cancelRequested) {
          m_interruption = Interruption::kCancelled;
          ok = false;
        }
        if (ok) continue;
        const std::string where = "The batch starting at line " + std::to_string(shownLine(batch.startLine));
        m_lastErrorLine = batch.startLine;
        if (m_interruption == Interruption::kNone) {
          setError(where + " failed: " + describeDiagnostics(run.errors, "") + unrecordedOutput(*m_output));
          for (const OdbcDiagnostic& d : run.errors) {
            if (d.line > 0) {
              m_lastErrorLine = scriptLineOf(d.line, batch.startLine);
              break;
            }
          }
          checkSessionAfterFailure();
        } else {
          m_interruptedLine = batch.startLine;
          setError(m_interruption == Interruption::kTimedOut
                       ? where + " ran longer than " + std::to_string(m_queryTimeout) +
                             " second(s) and was cancelled."
                       : where + " was cancelled.");
          recoverAfterInterruption();
        }
        if (returnCode) *returnCode = run.lastCode;
        return 0;
      }
    }
    if (returnCode) *returnCode = run.lastCode;
    // The script ran, but what the server said about it (errors, warnings, advice, data) was
    // not all kept: its outcome cannot be told, so the run fails on that account alone.
    if (!m_output->writeError().empty()) {
      setError("Script output could not be recorded: " + m_output->writeError());
      return 0;
    }
    return 1;
  });
}

int OdbcConnection::positionOnFirstResultSet(short rc, ScriptRun& run) {
  SQLHSTMT stmt = stmtOf(m_stmt);
  for (;;) {
    if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE || rc == SQL_NEED_DATA) {
      setError(describeDiagnostics(run.errors, "The statement failed."));
      SQLFreeStmt(stmt, SQL_CLOSE);
      return 1;
    }
    if (rc == SQL_NO_DATA) return 0;  // no result set: nothing to read, not a failure
    SQLLEN rows = -1;
    if (SQL_SUCCEEDED(SQLRowCount(stmt, &rows))) m_rowCount = rows;
    SQLSMALLINT columns = 0;
    SQLRETURN crc = SQLNumResultCols(stmt, &columns);
    noteDiagnostics(crc, run);
    if (crc == SQL_ERROR) {
      setError(describeDiagnostics(run.errors, "The statement failed."));
      return 1;
    }
    if (columns > 0) {
      m_cursorOpen = true;
      return 0;
    }
    rc = SQLMoreResults(stmt);
    noteDiagnostics(rc, run);
  }
}

int OdbcConnection::executeLeavingResultOpen(const std::string& text, const std::vector<SQLParam>* params) {
  if (!requireOpen()) return 1;
  closeResultSet();
  clearColumns();
  m_rowCount = -1;
  SQLHSTMT stmt = stmtOf(m_stmt);
  ScriptRun run;
  std::string_view last(text);
  if (!params) {
    const std::string_view script(text);
    std::vector<SqlBatch> batches = splitSqlBatches(script);
    if (batches.empty()) return 0;
    for (std::size_t b = 0; b < batches.size(); ++b) {
      const int repeats = b + 1 < batches.size() ? batches[b].repeatCount : batches[b].repeatCount - 1;
      for (int i = 0; i < repeats; ++i) {
        if (!runBatch(batches[b].textIn(script), run)) {
          setError("The batch starting at line " + std::to_string(shownLine(batches[b].startLine)) +
                   " failed: " + describeDiagnostics(run.errors, ""));
          return 1;
        }
      }
    }
    last = batches.back().textIn(script);
  }

  // Buffers of the bound parameters; they must stay put until the statement has run.
  std::vector<SQLLEN> indicators(params ? params->size() : 0);
  std::vector<SQLINTEGER> ints(indicators.size());
  std::vector<SQLBIGINT> bigints(indicators.size());
  std::vector<SQL_TIMESTAMP_STRUCT> stamps(indicators.size());
  SQLFreeStmt(stmt, SQL_CLOSE);
  SQLFreeStmt(stmt, SQL_RESET_PARAMS);
  if (params) {
    for (std::size_t i = 0; i < params->size(); ++i) {
      const SQLParam& p = (*params)[i];
      const SQLUSMALLINT number = static_cast<SQLUSMALLINT>(i + 1);
      SQLRETURN rc = SQL_ERROR;
      indicators[i] = p.isNull ? SQL_NULL_DATA : 0;
      switch (p.type) {
        case SQLParam::Type::kInt32:
          ints[i] = static_cast<SQLINTEGER>(p.integer);
          if (!p.isNull) indicators[i] = sizeof(SQLINTEGER);
          rc = SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &ints[i], 0,
                                &indicators[i]);
          break;
        case SQLParam::Type::kInt64:
          bigints[i] = static_cast<SQLBIGINT>(p.integer);
          if (!p.isNull) indicators[i] = sizeof(SQLBIGINT);
          rc = SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &bigints[i],
                                0, &indicators[i]);
          break;
        case SQLParam::Type::kText: {
          const SQLULEN size = p.text.empty() ? 1 : p.text.size();
          if (!p.isNull) indicators[i] = static_cast<SQLLEN>(p.text.size());
          rc = SQLBindParameter(
              stmt, number, SQL_PARAM_INPUT, SQL_C_CHAR, size > 8000 ? SQL_LONGVARCHAR : SQL_VARCHAR, size, 0,
              const_cast<char*>(p.text.data()), static_cast<SQLLEN>(p.text.size()), &indicators[i]);
          break;
        }
        case SQLParam::Type::kTimestamp: {
          SQL_TIMESTAMP_STRUCT& ts = stamps[i];
          ts.year = p.timestamp.year;
          ts.month = p.timestamp.month;
          ts.day = p.timestamp.day;
          ts.hour = p.timestamp.hour;
          ts.minute = p.timestamp.minute;
          ts.second = p.timestamp.second;
          ts.fraction = p.timestamp.fraction;
          if (!p.isNull) indicators[i] = sizeof(SQL_TIMESTAMP_STRUCT);
          rc = SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23,
                                3, &ts, 0, &indicators[i]);
          break;
        }
      }
      noteDiagnostics(rc, run);
      if (!SQL_SUCCEEDED(rc)) {
        setError("Cannot bind parameter " + std::to_string(number) + ": " +
                 describeDiagnostics(run.errors, "no details."));
        SQLFreeStmt(stmt, SQL_RESET_PARAMS);
        return 1;
      }
    }
  }
  const std::size_t bad = findInvalidUtf8(last);
  if (bad != std::string_view::npos) {
    setError(notUtf8(last, bad).message);
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    return 1;
  }
  SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(last.data())),
                               static_cast<SQLINTEGER>(last.size()));
  run.conversionFailed = false;
  noteDiagnostics(rc, run);
  if (run.conversionFailed && SQL_SUCCEEDED(rc)) {
    setError(describeDiagnostics(run.errors, "The driver could not convert the statement's text."));
    SQLFreeStmt(stmt, SQL_CLOSE);
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    return 1;
  }
  const int result = positionOnFirstResultSet(rc, run);
  SQLFreeStmt(stmt, SQL_RESET_PARAMS);
  return result;
}

int OdbcConnection::executeQuery(const std::string& text, bool unused) {
  static_cast<void>(unused);
  return guarded("Running the query", 1, [&] { return executeLeavingResultOpen(text, nullptr); });
}

int OdbcConnection::executeWithParams(const std::string& text, const std::vector<SQLParam>& params) {
  return guarded("Running the statement", 1, [&] { return executeLeavingResultOpen(text, &params); });
}

bool OdbcConnection::fetchText(int column, std::string& value, bool& isNull) {
  SQLHSTMT stmt = stmtOf(m_stmt);
  value.clear();
  isNull = false;
  char buffer[8192];
  for (;;) {
    SQLLEN indicator = 0;
    SQLRETURN rc =
        SQLGetData(stmt, static_cast<SQLUSMALLINT>(column), SQL_C_CHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) return true;  // every piece has been read
    if (const Status checked = checkOdbcCall(rc, m_stmt, "Cannot read column " + std::to_string(column));
        !checked.ok()) {
      setError(checked.message());
      return false;
    }
    if (indicator == SQL_NULL_DATA) {
      isNull = true;
      return true;
    }
    // With more to come the buffer is full (less its terminator); otherwise the indicator
    // gives the length of this last piece.
    const bool more = rc == SQL_SUCCESS_WITH_INFO &&
                      (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer));
    const std::size_t piece = more ? sizeof buffer - 1 : static_cast<std::size_t>(indicator);
    value.append(buffer, std::min(piece, sizeof buffer - 1));
    if (!more) return true;
  }
}

int OdbcConnection::getSingleRowIntResult(int& value) {
  return guarded("Reading the single-row result", 1, [&] {
    std::string text;
    const int rc = getSingleRowStringResult(text);
    if (rc != 0) return rc;
    int parsed = 0;
    if (!parseInt32(text, parsed)) {
      setError("The single-row result [" + text + "] is not an integer.");
      return 1;
    }
    value = parsed;
    return 0;
  });
}

int OdbcConnection::getSingleRowStringResult(std::string& value) {
  return guarded("Reading the single-row result", 1, [&] {
    if (!requireOpen()) return 1;
    if (!m_cursorOpen) {
      setError("The query returned no result set.");
      return 1;
    }
    SQLRETURN rc = SQLFetch(stmtOf(m_stmt));
    if (rc == SQL_NO_DATA) {
      closeResultSet();
      setError("The query returned no row.");
      return 1;
    }
    if (const Status checked = checkOdbcCall(rc, m_stmt, "Cannot fetch the single-row result");
        !checked.ok()) {
      setError(checked.message());
      closeResultSet();
      return 1;
    }
    std::string text;
    bool isNull = false;
    const bool ok = fetchText(1, text, isNull);
    closeResultSet();
    if (!ok) return 1;
    if (isNull) {
      setError("The single-row result is NULL.");
      return 1;
    }
    value = std::move(text);
    return 0;
  });
}

int OdbcConnection::RKDBVar_addCol(ColumnTarget* column, int position) {
  static_cast<void>(position);
  if (column == nullptr) {
    setError("A null column object cannot be bound.");
    return 1;
  }
  return guarded("Adding a column", 1, [&] {
    m_columns.push_back(column);
    m_bound = false;
    return 0;
  });
}

int OdbcConnection::RKDBVar_bind() {
  return guarded(
      "Binding the columns", 1, [&] { return bindColumns(); }, [&] { m_bound = false; });
}

int OdbcConnection::bindColumns() {
  m_bound = false;
  if (!requireOpen()) return 1;
  if (!m_cursorOpen) {
    setError("No result set is open to bind columns to.");
    return 1;
  }
  if (m_columns.empty()) {
    setError("No columns were added before binding.");
    return 1;
  }
  SQLSMALLINT available = 0;
  if (const Status checked = checkOdbcCall(SQLNumResultCols(stmtOf(m_stmt), &available), m_stmt,
                                           "Cannot read the result set's columns");
      !checked.ok()) {
    setError(checked.message());
    return 1;
  }
  if (static_cast<std::size_t>(available) < m_columns.size()) {
    setError(std::to_string(m_columns.size()) + " columns were added but the result set has " +
             std::to_string(available) + ".");
    return 1;
  }
  for (std::size_t i = 0; i < m_columns.size(); ++i) {
    const int type = m_columns[i]->getDataType();
    if (type != RKDB_TYPE_INT && type != RKDB_TYPE_INT64 && type != RKDB_TYPE_DATETIME &&
        type != RKDB_TYPE_STRING) {
      setError("Column " + std::to_string(i + 1) + " has the unknown value type " + std::to_string(type) +
               ".");
      return 1;
    }
  }
  m_bound = true;
  return 0;
}

int OdbcConnection::getNextRow() {
  return guarded("Fetching a row", -1, [&] {
    if (!m_bound || !m_cursorOpen) {
      setError("No bound result set to read from.");
      return -1;
    }
    SQLHSTMT stmt = stmtOf(m_stmt);
    SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) return 1;
    if (const Status checked = checkOdbcCall(rc, m_stmt, "Cannot fetch a row"); !checked.ok()) {
      setError(checked.message());
      return -1;
    }
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
      ColumnTarget* target = m_columns[i];
      const SQLUSMALLINT number = static_cast<SQLUSMALLINT>(i + 1);
      SQLLEN indicator = 0;
      std::string text;
      const char* source = nullptr;
      int length = 0;
      SQLINTEGER i32 = 0;
      SQLBIGINT i64 = 0;
      SQL_TIMESTAMP_STRUCT ts;
      std::memset(&ts, 0, sizeof ts);
      switch (target->getDataType()) {
        case RKDB_TYPE_INT:
          // Read as 64 bits and range-checked here: some drivers cut a larger value down to
          // 32 bits without a word.
          rc = SQLGetData(stmt, number, SQL_C_SBIGINT, &i64, sizeof i64, &indicator);
          if (SQL_SUCCEEDED(rc) && indicator != SQL_NULL_DATA) {
            if (i64 < INT32_MIN || i64 > INT32_MAX) {
              setError("Column " + std::to_string(number) + " holds " + std::to_string(i64) +
                       ", which does not fit a 32-bit integer.");
              return -1;
            }
            indicator = sizeof i32;
          }
          i32 = static_cast<SQLINTEGER>(i64);
          source = reinterpret_cast<const char*>(&i32);
          length = sizeof i32;
          break;
        case RKDB_TYPE_INT64:
          rc = SQLGetData(stmt, number, SQL_C_SBIGINT, &i64, sizeof i64, &indicator);
          source = reinterpret_cast<const char*>(&i64);
          length = sizeof i64;
          break;
        case RKDB_TYPE_DATETIME:
          rc = SQLGetData(stmt, number, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator);
          source = reinterpret_cast<const char*>(&ts);
          length = sizeof ts;
          break;
        default: {
          bool isNull = false;
          if (!fetchText(number, text, isNull)) return -1;
          rc = SQL_SUCCESS;
          indicator = isNull ? SQL_NULL_DATA : static_cast<SQLLEN>(text.size());
          source = text.data();
          if (text.size() > static_cast<std::size_t>(INT_MAX)) {
            setError("Column " + std::to_string(number) + " holds more text than can be stored.");
            return -1;
          }
          length = static_cast<int>(text.size());
          break;
        }
      }
      if (const Status checked = checkOdbcCall(rc, m_stmt, "Cannot read column " + std::to_string(number));
          !checked.ok()) {
        setError(checked.message());
        return -1;
      }
      if (indicator == SQL_NULL_DATA) {
        target->setFetchedNull(true);
        if (m_indicators) m_indicators[i] = -1;
      } else {
        target->setFetchedNull(false);
        target->setData(source, 0, length, false);
        if (m_indicators) m_indicators[i] = length;
      }
    }
    return 0;
  });
}

int OdbcConnection::closeCursor() {
  closeResultSet();
  return 0;
}

void OdbcConnection::setExtIndicatorArray(void* indicators) {
  m_indicators = static_cast<std::int64_t*>(indicators);
}

std::string OdbcConnection::getDBMSName() {
  return guarded("Reading the server's product name", std::string(), [&] {
    if (!m_dbc.connected()) return std::string();
    SQLCHAR name[256] = {0};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(m_dbc.get(), SQL_DBMS_NAME, name, sizeof name, &length)))
      return std::string();
    return std::string(reinterpret_cast<const char*>(name));
  });
}

void OdbcConnection::closeResultSet() {
  if (m_stmt) SQLFreeStmt(stmtOf(m_stmt), SQL_CLOSE);
  m_cursorOpen = false;
  m_bound = false;
}

void OdbcConnection::clearColumns() {
  m_columns.clear();
  m_bound = false;
}

}  // namespace zarezodud
