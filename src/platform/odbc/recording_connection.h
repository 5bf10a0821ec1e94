// RecordingConnection: a connection object that touches no database. Every open succeeds,
// every text is recorded and answered with success, return code 0 and no rows. The command
// line's plan uses it to list what a phase would send, and its record backend (a rehearsal
// and test backend) to journal each executed script durably.
//
// Thread-safety: a RecordingSink and its connections belong to one thread at a time, except
// RecordingConnection::cancel() (and RecordingSink::cancel()), which any thread may call while
// a script "runs".
#ifndef ZAREZODUD_PLATFORM_ODBC_RECORDING_CONNECTION_H
#define ZAREZODUD_PLATFORM_ODBC_RECORDING_CONNECTION_H

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/fd_io.h"
#include "export.h"
#include "platform/odbc/rk_simple_db_conn_object.h"
#include "platform/odbc/temp_output_file.h"

namespace zarezodud {

// What the connections made for one run share: the recorded texts and the optional journal.
class ZAREZODUD_API RecordingSink {
 public:
  RecordingSink() = default;
  RecordingSink(const RecordingSink&) = delete;
  RecordingSink& operator=(const RecordingSink&) = delete;

  // Opens (creating when missing) the journal for appending. False with error naming the file.
  bool openJournal(const std::string& path, std::string& error);
  // Pause after each journaled script, to make a rehearsal's timing realistic.
  void setDelay(std::chrono::milliseconds delay) { m_delay = delay; }
  // The script whose text comes next; while it is set, each executed text appends this path
  // and a newline to the journal (synced before the call returns). Empty: nothing is journaled.
  void setCurrentScript(const std::string& path) { m_currentScript = path; }

  // Called by the connections for every text they are given. A script's text is journaled
  // after the delay; false when a cancel ended the delay (nothing is journaled then).
  bool record(const std::string& text, bool isScript);
  // Ends the delay of the script under way, which then counts as not run. Safe from any
  // thread; a cancel while no script waits has no effect on later scripts.
  void cancel();
  // Every text recorded so far, in order.
  const std::vector<std::string>& texts() const { return m_texts; }
  // The journal's last write failure ("" when none).
  const std::string& journalError() const { return m_journalError; }
  // Lines in the journal: those it held when opened plus those appended since.
  long long journalLines() const { return m_journalLines; }

  // Lines in the journal file at path (0 when it cannot be read or is not a regular file). A journal that has
  // grown past the count taken when a script started proves that the script ran to its end.
  static long long countJournalLines(const std::string& path);

 private:
  std::vector<std::string> m_texts;
  fdio::ScopedFd m_journal;
  std::string m_journalPath;
  std::string m_journalError;
  std::string m_currentScript;
  long long m_journalLines = 0;
  std::chrono::milliseconds m_delay{0};
  std::mutex m_waitMutex;  // guards m_waiting and m_cancelled
  std::condition_variable m_cancel;
  bool m_waiting = false;
  bool m_cancelled = false;
};

class RecordingConnection : public RKSimpleDBConnObject {
 public:
  explicit RecordingConnection(std::shared_ptr<RecordingSink> sink) : m_sink(std::move(sink)) {}

  void setNumConnectAttempts(int) override {}
  void setHostSettings(const HostSettings& settings) override { m_settings = settings; }
  int OpenSQLConnectionUsingConnectionString(const std::string&, bool) override { return 0; }
  void setUseSQLDefaultCursorType(bool) override {}
  // Records text; returns success (1) with *returnCode 0. Fails (0) only when the journal
  // cannot be written, so that a rehearsal never reports a script it did not record.
  int executeQueryForZARezodud(const std::string& text, int* returnCode) override;
  int executeQuery(const std::string& text, bool) override;
  int executeWithParams(const std::string& text, const std::vector<SQLParam>&) override;
  // There is never a row: both return non-zero.
  int getSingleRowIntResult(int&) override { return 1; }
  int getSingleRowStringResult(std::string&) override { return 1; }
  int RKDBVar_addCol(ColumnTarget*, int) override { return 0; }
  int RKDBVar_bind() override { return 0; }
  int getNextRow() override { return 1; }
  int closeCursor() override { return 0; }
  void setExtIndicatorArray(void*) override {}
  std::string getDBMSName() override { return "Microsoft SQL Server"; }
  long long getAffectedRowCount() override { return 0; }
  std::string getLastErrorStr() const override { return m_lastError; }
  // Ends the delay of the script under way: it fails as cancelled and is not journaled.
  int cancel() override;
  Interruption lastInterruption() const override { return m_interruption; }
  int lastInterruptedBatchLine() const override { return m_interruption == Interruption::kNone ? 0 : 1; }

 private:
  std::shared_ptr<RecordingSink> m_sink;
  std::string m_lastError;
  Interruption m_interruption = Interruption::kNone;
  TempOutputFile m_output;  // kept open from one script to the next
  HostSettings m_settings;
};

// Makes every connection created from now on (createSQLConnection) a RecordingConnection on
// sink, and returns the factory it replaced (to hand back to setSQLConnectionFactory).
ZAREZODUD_API SQLConnectionFactory installRecordingFactory(std::shared_ptr<RecordingSink> sink);

// Recording connections for as long as the scope lives: installs the recording factory on
// sink and hands the factory it replaced back when restored or destroyed, on every path out.
class RecordingFactoryScope {
 public:
  explicit RecordingFactoryScope(std::shared_ptr<RecordingSink> sink)
      : m_previous(installRecordingFactory(std::move(sink))) {}
  ~RecordingFactoryScope() { restore(); }
  RecordingFactoryScope(const RecordingFactoryScope&) = delete;
  RecordingFactoryScope& operator=(const RecordingFactoryScope&) = delete;

  void restore() {
    if (m_active) setSQLConnectionFactory(m_previous);
    m_active = false;
  }

 private:
  SQLConnectionFactory m_previous;
  bool m_active = true;
};

}  // namespace zarezodud

#endif
