// A scripted stand-in for the SQL connection service, for unit tests of the database code.
//
// Install it with ScopedScriptedConnections: while the guard lives, every connection made
// through zarezodud::createSQLConnection() is a ScriptedConnection sharing the guard's
// ConnectionScript. The script says how the connections answer (open result, one reply per
// execution call, database name) and records what they were asked (connection strings,
// texts, call names, parameters). Typical use:
//
//   ztest::ScopedScriptedConnections fake;
//   fake.script().reply().returnCode = 150;            // the next execution yields 150
//   fake.script().failNext("Invalid object name 'x'."); // the one after fails
//   ... run the code under test ...
//   EXPECT_EQ(fake.script().texts[0], "SET XACT_ABORT ON\nGO\n...");
//
// Replies are consumed in order by executeQueryForZARezodud, executeQuery and
// executeWithParams; with none left a call succeeds with code 0 and no rows. A reply's rows
// feed getSingleRowIntResult/getSingleRowStringResult (first column of the first row) and
// bound columns (getNextRow), values given as text: integers in decimal, date-times as
// "YYYY-MM-DD HH:MM:SS[.fff]", std::nullopt for NULL. A reply's messages are appended to
// the temporary output file as message records (only when there are any).
//
// Thread-safety: none; use from the test thread.
#ifndef ZAREZODUD_TESTS_SUPPORT_SCRIPTED_CONNECTION_H
#define ZAREZODUD_TESTS_SUPPORT_SCRIPTED_CONNECTION_H

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/odbc/rk_simple_db_conn_object.h"

namespace ztest {

// One server message that a reply appends to the temporary output file.
struct ScriptedMessage {
  std::string state = "01000";
  long nativeError = 0;
  std::string text;
  int line = 0;  // the LineNum of the record
};

using ScriptedRow = std::vector<std::optional<std::string>>;

// The answer to one execution call.
struct ScriptedReply {
  bool ok = true;
  std::string error;   // getLastErrorStr() after a failed call
  int returnCode = 0;  // written to executeQueryForZARezodud's destination (also on failure)
  std::vector<ScriptedRow> rows;
  std::vector<ScriptedMessage> messages;
  long long affectedRows = -1;  // getAffectedRowCount() after this call
  // How the call ended early (with ok false), the line of the interrupted batch, and whether
  // the connection is closed afterwards.
  RKSimpleDBConnObject::Interruption interruption = RKSimpleDBConnObject::Interruption::kNone;
  int interruptedLine = 0;
  bool closesConnection = false;
  int errorLine = 0;            // getLastErrorLine() after this call
};

// Answers and records shared by the connections made while a guard is installed.
class ConnectionScript {
 public:
  // --- Answers.
  int openResult = 0;     // returned by every OpenSQLConnectionUsingConnectionString
  std::string openError;  // the last-error text when openResult is not 0
  std::string dbmsName = "Microsoft SQL Server";
  std::deque<ScriptedReply> replies;

  // Appends a successful reply and returns it for filling in.
  ScriptedReply& reply();
  // Appends a failing reply with the given error text.
  void failNext(const std::string& error);
  // Appends a successful reply whose only row holds value (single-row results).
  void rowNext(const std::string& value);

  // --- Records.
  std::vector<std::string> connectionStrings;            // every string opened, in order
  std::vector<std::string> texts;                        // every text executed, in order
  std::vector<std::string> calls;                        // every operation called, by name, in order
  std::vector<std::vector<zarezodud::SQLParam>> params;  // per executeWithParams call
  int connectAttempts = 0;                               // the last value given to setNumConnectAttempts
  std::vector<int> queryTimeouts;                        // every value given to setQueryTimeout, in order
  std::vector<int> leadingLines;                         // every value given to setLeadingLines, in order
  int cancels = 0;                                       // cancel() calls
  int made = 0;                                          // connection objects created
  int destroyed = 0;                                     // connection objects deleted

  // Number of calls named name.
  int count(const std::string& name) const;
  // Takes the next reply (a default one when none is left).
  ScriptedReply next();
};

class ScriptedConnection : public RKSimpleDBConnObject {
 public:
  explicit ScriptedConnection(ConnectionScript& script);
  ~ScriptedConnection() override;

  void setNumConnectAttempts(int attempts) override;
  int OpenSQLConnectionUsingConnectionString(const std::string& connectionString, bool unused) override;
  void setUseSQLDefaultCursorType(bool useDefault) override;
  int executeQueryForZARezodud(const std::string& text, int* returnCode) override;
  int executeQuery(const std::string& text, bool unused) override;
  int executeWithParams(const std::string& text, const std::vector<zarezodud::SQLParam>& params) override;
  int getSingleRowIntResult(int& value) override;
  int getSingleRowStringResult(std::string& value) override;
  int RKDBVar_addCol(zarezodud::ColumnTarget* column, int position) override;
  int RKDBVar_bind() override;
  int getNextRow() override;
  int closeCursor() override;
  void setExtIndicatorArray(void* indicators) override;
  std::string getDBMSName() override;
  long long getAffectedRowCount() override;
  std::string getLastErrorStr() const override { return lastError_; }
  void setQueryTimeout(int seconds) override { script_.queryTimeouts.push_back(seconds); }
  void setLeadingLines(int lines) override { script_.leadingLines.push_back(lines); }
  int cancel() override;
  Interruption lastInterruption() const override { return interruption_; }
  int lastInterruptedBatchLine() const override { return interruptedLine_; }
  bool isOpen() const override { return open_; }
  int getLastErrorLine() const override { return errorLine_; }

 private:
  // Consumes the next reply for an execution call; false (error set) when it fails.
  bool take(const char* call, const std::string& text, bool writeMessages);
  // The first column of the first row; 0 on success.
  int singleRow(std::string& value);

  ConnectionScript& script_;
  bool open_ = false;
  std::string lastError_;
  std::vector<ScriptedRow> rows_;  // the current result set
  std::size_t nextRow_ = 0;
  bool resultOpen_ = false;
  std::vector<zarezodud::ColumnTarget*> columns_;
  bool bound_ = false;
  std::int64_t* indicators_ = nullptr;
  long long affectedRows_ = -1;
  Interruption interruption_ = Interruption::kNone;
  int interruptedLine_ = 0;
  int errorLine_ = 0;
};

// Installs the scripted factory for its lifetime and restores the previous one afterwards.
class ScopedScriptedConnections {
 public:
  ScopedScriptedConnections();
  ~ScopedScriptedConnections();
  ScopedScriptedConnections(const ScopedScriptedConnections&) = delete;
  ScopedScriptedConnections& operator=(const ScopedScriptedConnections&) = delete;

  ConnectionScript& script() { return script_; }

 private:
  ConnectionScript script_;
  zarezodud::SQLConnectionFactory previous_;
};

}  // namespace ztest

#endif
