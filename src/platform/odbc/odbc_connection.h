// OdbcConnection: the production SQL connection service over the ODBC driver manager. One
// environment, one connection and one statement handle per object, all owned here.
//
// Opening adds the installation's extra attributes (ZAREZODUD_ODBC_ATTRIBUTES) and the
// FreeTDS defaults to the connection string, sets the login timeout
// (ZAREZODUD_LOGIN_TIMEOUT, default 30 s) and tries again after a short pause when the
// server could not be reached, up to the number of attempts asked for. Scripts are split
// into batches client-side (platform/batch_splitter.h); every result set is consumed and
// the diagnostics of every call are appended to the temporary output file
// (platform/temp_output_file.h). With a query timeout set, a watchdog (platform/batch_deadline.h)
// cancels a batch that runs past it; after a timeout or cancel an open transaction is rolled
// back, and a connection that cannot even do that is closed. No exception leaves a member
// function.
//
// Thread-safety: one thread at a time per object, except cancel(), which any thread may call
// at any time: it and every change of the statement handle hold the same lock.
#ifndef ZAREZODUD_PLATFORM_ODBC_ODBC_CONNECTION_H
#define ZAREZODUD_PLATFORM_ODBC_ODBC_CONNECTION_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/odbc/odbc_diagnostics.h"
#include "platform/odbc/odbc_handles.h"
#include "platform/odbc/rk_simple_db_conn_object.h"

namespace zarezodud {

class TempOutputFile;

class OdbcConnection : public RKSimpleDBConnObject {
 public:
  OdbcConnection();
  ~OdbcConnection() override;

  void setNumConnectAttempts(int attempts) override;
  int OpenSQLConnectionUsingConnectionString(const std::string& connectionString, bool unused) override;
  void setUseSQLDefaultCursorType(bool useDefault) override { m_useDefaultCursor = useDefault; }
  int executeQueryForZARezodud(const std::string& text, int* returnCode) override;
  int executeQuery(const std::string& text, bool unused) override;
  int executeWithParams(const std::string& text, const std::vector<SQLParam>& params) override;
  int getSingleRowIntResult(int& value) override;
  int getSingleRowStringResult(std::string& value) override;
  int RKDBVar_addCol(ColumnTarget* column, int position) override;
  int RKDBVar_bind() override;
  int getNextRow() override;
  int closeCursor() override;
  void setExtIndicatorArray(void* indicators) override;
  std::string getDBMSName() override;
  long long getAffectedRowCount() override { return m_rowCount; }
  std::string getLastErrorStr() const override { return m_lastError; }
  void setQueryTimeout(int seconds) override { m_queryTimeout = seconds < 0 ? 0 : seconds; }
  int cancel() override;
  Interruption lastInterruption() const override { return m_interruption; }
  int lastInterruptedBatchLine() const override { return m_interruptedLine; }
  bool isOpen() const override;
  int getLastErrorLine() const override { return m_lastErrorLine; }
  void setLeadingLines(int lines) override { m_leadingLines = lines < 0 ? 0 : lines; }
  void setHostSettings(const zarezodud::HostSettings& settings) override { m_settings = settings; }

  // The pause between two open attempts, in milliseconds (default 1000).
  void setConnectRetryPauseMs(int ms) { m_retryPauseMs = ms < 0 ? 0 : ms; }

 private:
  // Runs body and returns its result. An exception that escapes body (out of memory, or one of
  // a library's own) becomes the last error, "<where> failed: <what>"; onFailure runs and
  // failure is returned, so nothing is thrown past the connection service. The one place that
  // catches for the connection's operations.
  template <class Result, class Body, class OnFailure>
  Result guarded(const char* where, Result failure, Body&& body, OnFailure&& onFailure);
  template <class Result, class Body>
  Result guarded(const char* where, Result failure, Body&& body);

  // What a script run carries from batch to batch.
  struct ScriptRun {
    TempOutputFile* out = nullptr;       // null: messages are not recorded
    int startLine = 1;                   // first script line of the batch being run
    int lastCode = 0;                    // the return code as the rule stands so far
    std::vector<OdbcDiagnostic> errors;  // records of the calls that failed
    bool conversionFailed = false;       // the driver could not convert the batch's text
  };

  bool requireOpen();
  // SQLCancel on the statement under the handle lock; false when there is no statement.
  bool cancelStatement();
  // After an interrupted run: rolls back an open transaction, or closes the connection when
  // that fails.
  void recoverAfterInterruption();
  // After a failed run: whether the session is still there (the driver's own flag, then one
  // round trip), since a server ends the session after its gravest errors without a word
  // that says so. Marks the link lost when it is not.
  void checkSessionAfterFailure();
  // Frees the statement and connection handles under the handle lock.
  void closeHandles();
  void setError(const std::string& text);
  // Reads the statement's diagnostics after a call that returned rc: records them in the
  // run's output file and keeps those of a failed call. Returns how many there were.
  std::size_t noteDiagnostics(short rc, ScriptRun& run, bool dropTruncation = false);
  // Runs one batch to its end, consuming every result set. False when it failed. Text that is
  // not valid UTF-8 is not sent (the driver would cut it at the first byte it cannot convert).
  bool runBatch(std::string_view text, ScriptRun& run);
  // Reads the first row's first column of the current result set into run.lastCode.
  bool probeReturnCode(ScriptRun& run);
  // Runs every batch of text but the last through runBatch; leaves the last executed with
  // its first result set (if any) open. 0 on success.
  int executeLeavingResultOpen(const std::string& text, const std::vector<SQLParam>* params);
  // Moves past results without columns after an execution; 0 on success.
  int positionOnFirstResultSet(short rc, ScriptRun& run);
  // The whole text of column (1-based) of the current row; false on failure (error set).
  bool fetchText(int column, std::string& value, bool& isNull);
  // RKDBVar_bind's work; may throw (the caller catches).
  int bindColumns();
  void closeResultSet();
  void clearColumns();

  OdbcHandle m_env;
  OdbcHandle m_dbc;
  OdbcHandle m_stmt;
  int m_attempts = 1;
  int m_retryPauseMs = 1000;
  bool m_useDefaultCursor = true;
  bool m_cursorOpen = false;
  bool m_bound = false;
  long long m_rowCount = -1;
  std::vector<ColumnTarget*> m_columns;
  std::int64_t* m_indicators = nullptr;
  std::string m_lastError;
  int m_queryTimeout = 0;
  Interruption m_interruption = Interruption::kNone;
  int m_interruptedLine = 0;
  std::atomic<bool> m_cancelRequested{false};
  bool m_linkLost = false;           // a diagnostic said the connection to the server is gone (08xxx)
  mutable std::mutex m_handleMutex;  // held by cancel() and wherever the handles change
  // Guarded by m_handleMutex: while the rollback after an interruption runs, a cancel (another
  // one of the same interruption) is not passed on, so that it cannot undo the recovery.
  bool m_recovering = false;
  int m_lastErrorLine = 0;
  int m_leadingLines = 0;  // lines of the text before the caller's script (its preamble)
  // A line of the text as the script's own line, for people: 0 (unknown) stays 0, a line of
  // the preamble shows as the script's first line.
  int shownLine(int textLine) const {
    if (textLine <= 0) return 0;
    return textLine > m_leadingLines ? textLine - m_leadingLines : 1;
  }
  // The temporary output file, kept open from one script to the next.
  std::unique_ptr<TempOutputFile> m_output;
  zarezodud::HostSettings m_settings;  // this connection's own settings (output directory, ODBC)
};

}  // namespace zarezodud

#endif
