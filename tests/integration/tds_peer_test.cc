// The SQL Server protocol test peer driven by real clients: the unixODBC command-line client
// (isql) and the FreeTDS one (tsql) over the FreeTDS driver, and the project's own connection
// service, so that the peer is known to satisfy what our code sends. Also runs the peer's own
// Python self-tests.
#include "support/tds_peer.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "db/rows/rkdb_data_types.h"
#include "platform/odbc/rk_simple_db_conn_object.h"
#include "support/driver_database.h"
#include "support/env_override.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

std::string shellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// Runs command with its standard input from inputFile; returns standard output and error.
std::string runClient(const std::string& command, const std::string& inputFile) {
  const std::string full = "timeout 60 " + command + " < " + shellQuote(inputFile) + " 2>&1";
  std::string output;
  FILE* pipe = ::popen(full.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  ::pclose(pipe);
  return output;
}

class TdsPeerClients : public ztest::FreeTdsDatabaseTest {
 protected:
  static void SetUpTestSuite() {
    ztest::TdsPeer::Options options;
    options.filelist = {"ProductData", "ProductData_log"};
    startPeer(options);
  }

  // Runs sql through isql against database; the client's whole output.
  std::string isql(const std::string& database, const std::string& sql) {
    const std::string input = dir_.write("input.sql", sql);
    return runClient("isql -v -b -k " + shellQuote(peer_->connectionString(database)), input);
  }

  // A connection of the project's connection service, opened on database.
  std::unique_ptr<RKSimpleDBConnObject> open(const std::string& database) {
    std::unique_ptr<RKSimpleDBConnObject> conn(createSQLConnection());
    const int rc = conn->OpenSQLConnectionUsingConnectionString(peer_->connectionString(database), false);
    EXPECT_EQ(rc, 0) << conn->getLastErrorStr();
    return conn;
  }

  std::string output() { return ztest::readFile(dir_.file("out/tempOutputFile.txt")); }

  const ztest::TdsPeer* peer_ = peer();
  const ztest::TempDir& dir_ = m_dir;
};

TEST_F(TdsPeerClients, IsqlLogsInRunsAQueryAndTheBatchIsLogged) {
  if (!ztest::TdsPeer::onPath("isql")) GTEST_SKIP() << "isql (unixodbc) is not installed";
  // isql sizes its buffer by the column's declared characters, and a UTF-8 letter takes more
  // than one byte: the column is declared wider than the word, as the server would report it.
  const std::string out = isql("clientdb",
                               "CREATE TABLE isql_words (word NVARCHAR(20))\n"
                               "INSERT INTO isql_words VALUES (N'caf\xC3\xA9')\n"
                               "SELECT 6 * 7 AS answer, word FROM isql_words\n");
  EXPECT_NE(out.find("answer"), std::string::npos) << out;
  EXPECT_NE(out.find("| 42"), std::string::npos) << out;
  EXPECT_NE(out.find("caf\xC3\xA9"), std::string::npos) << "UTF-8 text must survive the round trip: " << out;
  // isql prepares its statements, so the text arrives as an sp_prepexec RPC.
  bool logged = false;
  for (const std::string& text : peer_->loggedTexts("rpc")) {
    if (text.find("SELECT 6 * 7 AS answer") != std::string::npos) logged = true;
  }
  EXPECT_TRUE(logged) << "the peer's request log must hold the statement";
}

TEST_F(TdsPeerClients, WrongPasswordIsRefusedWithLoginFailed18456) {
  if (!ztest::TdsPeer::onPath("tsql")) GTEST_SKIP() << "tsql (freetds-bin) is not installed";
  const std::string input = dir_.write("input.sql", "SELECT 1\ngo\nexit\n");
  const std::string out =
      runClient("tsql -H 127.0.0.1 -p " + std::to_string(peer_->port()) + " -U " +
                    shellQuote(peer_->options().user) + " -P " + shellQuote("not-the-password"),
                input);
  EXPECT_NE(out.find("18456"), std::string::npos) << out;
  EXPECT_NE(out.find("Login failed for user '" + peer_->options().user + "'."), std::string::npos) << out;

  // The same through the connection service: the open fails, naming the refusal without the password.
  std::unique_ptr<RKSimpleDBConnObject> conn(createSQLConnection());
  EXPECT_NE(
      conn->OpenSQLConnectionUsingConnectionString(peer_->connectionString("master", "Wrong$Pass"), false),
      0);
  const std::string error = conn->getLastErrorStr();
  EXPECT_NE(error.find("Login failed"), std::string::npos) << error;
  EXPECT_EQ(error.find("Wrong$Pass"), std::string::npos) << "the password must be masked";
}

TEST_F(TdsPeerClients, TsqlSeesMessagesRowsAndTheCannedFileList) {
  if (!ztest::TdsPeer::onPath("tsql")) GTEST_SKIP() << "tsql (freetds-bin) is not installed";
  const std::string input =
      dir_.write("input.sql",
                 "PRINT 'hello from the peer'\n\nRAISERROR('bad %s', 16, 2, 'thing')\ngo\n"
                 "CREATE TABLE t (id INT IDENTITY(1,1) PRIMARY KEY, name NVARCHAR(50))\n"
                 "INSERT INTO t (name) VALUES (N'first'); INSERT INTO t (name) VALUES ('second')\n"
                 "SELECT id, name FROM t ORDER BY id DESC\ngo\n"
                 "RESTORE FILELISTONLY FROM DISK = '/b/x.bak'\ngo\nexit\n");
  const std::string out = runClient("tsql -H 127.0.0.1 -p " + std::to_string(peer_->port()) + " -U " +
                                        shellQuote(peer_->options().user) + " -P " +
                                        shellQuote(peer_->options().password) + " -D tsqldb",
                                    input);
  EXPECT_NE(out.find("hello from the peer"), std::string::npos) << out;
  EXPECT_NE(out.find("Msg 50000 (severity 16, state 2) from tds_peer Line 3:"), std::string::npos) << out;
  EXPECT_NE(out.find("bad thing"), std::string::npos) << out;
  EXPECT_NE(out.find("2\tsecond\n1\tfirst"), std::string::npos) << out;
  EXPECT_NE(out.find("ProductData\tProductData.mdf\tD"), std::string::npos) << out;
  EXPECT_NE(out.find("ProductData_log\tProductData_log.ldf\tL"), std::string::npos) << out;
}

TEST_F(TdsPeerClients, PrintAndRaiserrorArriveAsMessagesWithTheirLines) {
  auto conn = open("messages");
  int code = -1;
  // Batch 1 starts on line 1, batch 2 on line 3; RAISERROR is line 3 of batch 2.
  ASSERT_NE(conn->executeQueryForZARezodud("PRINT 'first note'\nGO\nSELECT 5\nPRINT N'second note'\n"
                                           "RAISERROR('advice %s', 10, 1, 'given')\n",
                                           &code),
            0)
      << conn->getLastErrorStr();
  EXPECT_EQ(code, 5);
  const std::string messages = output();
  EXPECT_NE(messages.find("SQLState:[01000] NativeError:[0] Message:[[FreeTDS][SQL Server]first note]"),
            std::string::npos)
      << messages;
  // The driver may rank the two messages of one result as it likes; their lines are fixed.
  EXPECT_TRUE(std::regex_search(messages, std::regex(R"(second note\] \[RecNum:\d, LineNum:4\])")))
      << messages;
  EXPECT_TRUE(std::regex_search(
      messages,
      std::regex(
          R"(NativeError:\[50000\] Message:\[\[FreeTDS\]\[SQL Server\]advice given\] \[RecNum:\d, LineNum:5\])")))
      << messages;

  // Severity 16 is an error: it fails the run and the batch after it never runs.
  ASSERT_EQ(
      conn->executeQueryForZARezodud("SELECT 1\nRAISERROR('it broke', 16, 3)\nGO\nPRINT 'never'\n", &code),
      0);
  EXPECT_NE(conn->getLastErrorStr().find("it broke"), std::string::npos) << conn->getLastErrorStr();
  const std::string after = output();
  EXPECT_NE(after.find("SQLState:[42000] NativeError:[50000] Message:[[FreeTDS][SQL Server]it broke] "
                       "[RecNum:1, LineNum:2]"),
            std::string::npos)
      << after;
  EXPECT_EQ(after.find("never"), std::string::npos) << after;
}

TEST_F(TdsPeerClients, CreateInsertSelectRoundTripWithIdentityAndDates) {
  auto conn = open("roundtrip");
  int code = -1;
  ASSERT_NE(
      conn->executeQueryForZARezodud(
          "SET NOCOUNT ON\nGO\n"
          "CREATE TABLE [dbo].[APP_Thing] (id INT IDENTITY(1,1) NOT NULL PRIMARY KEY, name NVARCHAR(MAX),\n"
          "  created DATETIME NOT NULL DEFAULT GETDATE(), at DATETIME NULL)\n",
          &code),
      0)
      << conn->getLastErrorStr();

  int first = 0, second = 0;
  ASSERT_EQ(conn->executeQuery("INSERT INTO APP_Thing (name, at) OUTPUT INSERTED.id VALUES (N'alpha', "
                               "'2024-02-03 04:05:06.500')",
                               false),
            0)
      << conn->getLastErrorStr();
  ASSERT_EQ(conn->getSingleRowIntResult(first), 0) << conn->getLastErrorStr();
  ASSERT_EQ(conn->executeQuery("INSERT INTO dbo.APP_Thing (name) OUTPUT INSERTED.id VALUES ('beta')", false),
            0);
  ASSERT_EQ(conn->getSingleRowIntResult(second), 0) << conn->getLastErrorStr();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2) << "identity values count up";

  ASSERT_EQ(conn->executeQuery("SELECT TOP 5 id, name, at, created FROM [APP_Thing] ORDER BY id", false), 0)
      << conn->getLastErrorStr();
  RKDB_int id;
  RKDB_string name;
  RKDB_datetime at;
  RKDB_datetime created;
  for (RKDBDataTypeBase* c : std::initializer_list<RKDBDataTypeBase*>{&id, &name, &at, &created}) {
    ASSERT_EQ(conn->RKDBVar_addCol(c, -1), 0);
  }
  ASSERT_EQ(conn->RKDBVar_bind(), 0) << conn->getLastErrorStr();
  ASSERT_EQ(conn->getNextRow(), 0) << conn->getLastErrorStr();
  EXPECT_EQ(id.getData(), 1);
  EXPECT_EQ(name.getData(), "alpha");
  EXPECT_EQ(at.getData().year, 2024);
  EXPECT_EQ(at.getData().month, 2);
  EXPECT_EQ(at.getData().day, 3);
  EXPECT_EQ(at.getData().hour, 4);
  EXPECT_EQ(at.getData().second, 6);
  EXPECT_GE(created.getData().year, 2024) << "GETDATE() filled the default";
  ASSERT_EQ(conn->getNextRow(), 0) << conn->getLastErrorStr();
  EXPECT_EQ(id.getData(), 2);
  EXPECT_EQ(name.getData(), "beta");
  EXPECT_TRUE(at.isNull());
  EXPECT_EQ(conn->getNextRow(), 1);
  conn->closeCursor();

  ASSERT_NE(
      conn->executeQueryForZARezodud("UPDATE APP_Thing SET name = 'gamma' WHERE id = 2\n"
                                     "DELETE FROM APP_Thing WHERE id = 1\nSELECT COUNT(*) FROM APP_Thing",
                                     &code),
      0)
      << conn->getLastErrorStr();
  EXPECT_EQ(code, 1);
  std::string value;
  ASSERT_EQ(conn->executeQuery("SELECT name FROM APP_Thing", false), 0);
  ASSERT_EQ(conn->getSingleRowStringResult(value), 0) << conn->getLastErrorStr();
  EXPECT_EQ(value, "gamma");
}

TEST_F(TdsPeerClients, BoundParametersArriveAsAnRpcAndAreNeverPasted) {
  auto conn = open("params");
  ASSERT_NE(conn->executeQueryForZARezodud("CREATE TABLE p (i INT, b BIGINT, s NVARCHAR(200), at DATETIME)",
                                           nullptr),
            0)
      << conn->getLastErrorStr();
  SQLTimestamp ts;
  ts.year = 2023;
  ts.month = 12;
  ts.day = 31;
  ts.hour = 23;
  ts.minute = 59;
  ts.second = 58;
  const std::string tricky = "it's \"quoted\"; DROP TABLE p -- caf\xC3\xA9";
  ASSERT_EQ(conn->executeWithParams("INSERT INTO p VALUES (?, ?, ?, ?)",
                                    {SQLParam::ofInt32(-5), SQLParam::ofInt64(1LL << 40),
                                     SQLParam::ofText(tricky), SQLParam::ofTimestamp(ts)}),
            0)
      << conn->getLastErrorStr();
  ASSERT_EQ(conn->executeWithParams(
                "INSERT INTO p VALUES (?, ?, ?, ?)",
                {SQLParam::nullOf(SQLParam::Type::kInt32), SQLParam::nullOf(SQLParam::Type::kInt64),
                 SQLParam::nullOf(SQLParam::Type::kText), SQLParam::nullOf(SQLParam::Type::kTimestamp)}),
            0)
      << conn->getLastErrorStr();
  EXPECT_EQ(conn->getAffectedRowCount(), 1);

  ASSERT_EQ(conn->executeWithParams("SELECT i, b, s, at FROM p WHERE i = ? AND s = ?",
                                    {SQLParam::ofInt32(-5), SQLParam::ofText(tricky)}),
            0)
      << conn->getLastErrorStr();
  RKDB_int i;
  RKDB___int64 b;
  RKDB_string s;
  RKDB_datetime at;
  for (RKDBDataTypeBase* c : std::initializer_list<RKDBDataTypeBase*>{&i, &b, &s, &at})
    conn->RKDBVar_addCol(c, -1);
  ASSERT_EQ(conn->RKDBVar_bind(), 0) << conn->getLastErrorStr();
  ASSERT_EQ(conn->getNextRow(), 0) << conn->getLastErrorStr();
  EXPECT_EQ(i.getData(), -5);
  EXPECT_EQ(b.getData(), 1LL << 40);
  EXPECT_EQ(s.getData(), tricky);
  EXPECT_EQ(at.getData().year, 2023);
  EXPECT_EQ(at.getData().minute, 59);
  EXPECT_EQ(at.getData().second, 58);
  EXPECT_EQ(conn->getNextRow(), 1);
  conn->closeCursor();

  int count = -1;
  ASSERT_EQ(conn->executeQuery("SELECT COUNT(*) FROM p WHERE i IS NULL AND b IS NULL AND s IS NULL", false),
            0);
  ASSERT_EQ(conn->getSingleRowIntResult(count), 0) << conn->getLastErrorStr();
  EXPECT_EQ(count, 1);

  const std::vector<std::string> rpcs = peer_->loggedTexts("rpc");
  ASSERT_FALSE(rpcs.empty()) << "statements with parameters travel as RPC requests";
  bool sawMarkers = false;
  for (const std::string& text : rpcs) {
    EXPECT_EQ(text.find("DROP TABLE"), std::string::npos) << "a value was pasted into the text: " << text;
    if (text.find("@P1") != std::string::npos) sawMarkers = true;
  }
  EXPECT_TRUE(sawMarkers);
}

TEST_F(TdsPeerClients, RestoreFileListOnlyReportsTheConfiguredNamesAndRestoreIsLogged) {
  auto conn = open("master");
  ASSERT_EQ(conn->executeQuery(
                "SET XACT_ABORT ON\nGO\nRESTORE FILELISTONLY FROM DISK = '/backups/product.bak'", false),
            0)
      << conn->getLastErrorStr();
  RKDB_string logical;
  ASSERT_EQ(conn->RKDBVar_addCol(&logical, -1), 0);
  ASSERT_EQ(conn->RKDBVar_bind(), 0) << conn->getLastErrorStr();
  std::vector<std::string> names;
  while (conn->getNextRow() == 0) names.push_back(logical.getData());
  conn->closeCursor();
  EXPECT_EQ(names, (std::vector<std::string>{"ProductData", "ProductData_log"}));

  const std::string restore =
      "RESTORE DATABASE [ProductDB] FROM DISK = '/backups/product.bak' WITH RECOVERY, REPLACE, "
      "MOVE 'ProductData' TO '/data/ProductData', MOVE 'ProductData_log' TO '/data/ProductData_log'";
  ASSERT_NE(conn->executeQueryForZARezodud("SET XACT_ABORT ON\nGO\n" + restore, nullptr), 0)
      << conn->getLastErrorStr();
  ASSERT_NE(
      conn->executeQueryForZARezodud("BACKUP DATABASE ProductDB TO DISK = '/backups/again.bak'", nullptr), 0)
      << conn->getLastErrorStr();

  auto product = open("ProductDB");
  int code = -1;
  ASSERT_NE(
      product->executeQueryForZARezodud("SET XACT_ABORT ON\nGO\nsp_dbcmptlevel 'ProductDB', 100", &code), 0)
      << product->getLastErrorStr();
  ASSERT_NE(product->executeQueryForZARezodud(
                "DECLARE @r INT\nEXEC @r = sp_getapplock @Resource = 'upgrade', "
                "@LockMode = 'Exclusive'\nSELECT @r\nEXEC sp_releaseapplock 'upgrade'",
                &code),
            0)
      << product->getLastErrorStr();
  EXPECT_EQ(code, 0) << "sp_getapplock grants the lock";

  const std::vector<std::string> canned = peer_->loggedTexts("canned");
  auto logged = [&](const std::string& fragment) {
    for (const std::string& text : canned) {
      if (text.find(fragment) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(logged("RESTORE FILELISTONLY FROM DISK = '/backups/product.bak'"));
  EXPECT_TRUE(logged("MOVE 'ProductData_log' TO '/data/ProductData_log'"));
  EXPECT_TRUE(logged("BACKUP DATABASE ProductDB"));
  EXPECT_TRUE(logged("sp_dbcmptlevel 'ProductDB', 100"));
  EXPECT_TRUE(logged("sp_getapplock"));
  EXPECT_TRUE(logged("sp_releaseapplock"));
}

TEST_F(TdsPeerClients, FailedStatementEndsTheBatchWithTheServersError) {
  auto conn = open("failures");
  ASSERT_EQ(
      conn->executeQueryForZARezodud("SELECT 1\nSELECT * FROM no_such_table\nPRINT 'not reached'", nullptr),
      0);
  const std::string error = conn->getLastErrorStr();
  EXPECT_NE(error.find("Invalid object name 'no_such_table'"), std::string::npos) << error;
  const std::string messages = output();
  EXPECT_NE(messages.find("NativeError:[208]"), std::string::npos) << messages;
  EXPECT_NE(messages.find("LineNum:2]"), std::string::npos) << messages;
  EXPECT_EQ(messages.find("not reached"), std::string::npos) << messages;
  // The connection stays usable after the failure.
  int code = -1;
  ASSERT_NE(conn->executeQueryForZARezodud("SELECT 77", &code), 0) << conn->getLastErrorStr();
  EXPECT_EQ(code, 77);
}

TEST_F(TdsPeerClients, DatabasesAreSeparateAndUseSwitchesBetweenThem) {
  auto first = open("first_db");
  auto second = open("second_db");
  ASSERT_NE(first->executeQueryForZARezodud(
                "CREATE TABLE only_here (x INT)\nINSERT INTO only_here VALUES (3)", nullptr),
            0)
      << first->getLastErrorStr();
  EXPECT_EQ(second->executeQueryForZARezodud("SELECT x FROM only_here", nullptr), 0)
      << "a table of another database must not be visible";
  int code = -1;
  ASSERT_NE(second->executeQueryForZARezodud("USE first_db\nGO\nSELECT x FROM only_here", &code), 0)
      << second->getLastErrorStr();
  EXPECT_EQ(code, 3);
  EXPECT_NE(output().find("Changed database context to 'first_db'."), std::string::npos) << output();
}

TEST_F(TdsPeerClients, ServerErrorSemanticsReachTheConnectionService) {
  auto conn = open("semantics");
  int code = -1;
  ASSERT_NE(conn->executeQueryForZARezodud("CREATE TABLE k (id INT NOT NULL PRIMARY KEY)", nullptr), 0)
      << conn->getLastErrorStr();
  // XACT_ABORT OFF: the duplicate fails alone; the rest of the batch runs and is committed.
  EXPECT_EQ(conn->executeQueryForZARezodud("SET XACT_ABORT OFF\nGO\nBEGIN TRAN\nINSERT INTO k VALUES (1)\n"
                                           "INSERT INTO k VALUES (1)\nINSERT INTO k VALUES (2)\nCOMMIT\n"
                                           "SELECT @@TRANCOUNT + 40",
                                           &code),
            0);
  EXPECT_EQ(code, 40) << "the batch went on to its last statement";
  EXPECT_NE(output().find("NativeError:[2627]"), std::string::npos) << output();
  // XACT_ABORT ON: the batch ends at the duplicate and its transaction is rolled back.
  EXPECT_EQ(conn->executeQueryForZARezodud("SET XACT_ABORT ON\nGO\nBEGIN TRAN\nINSERT INTO k VALUES (3)\n"
                                           "INSERT INTO k VALUES (1)\nSELECT 99",
                                           &code),
            0);
  EXPECT_NE(code, 99);
  // A syntax error: nothing of its batch runs.
  EXPECT_EQ(
      conn->executeQueryForZARezodud("INSERT INTO k VALUES (4)\nSELECT id FROM k WHERE id = = 4", nullptr),
      0);
  std::string ids;
  ASSERT_EQ(conn->executeQuery("SET XACT_ABORT OFF\nGO\nSELECT COUNT(*) * 10 + @@TRANCOUNT FROM k", false), 0)
      << conn->getLastErrorStr();
  ASSERT_EQ(conn->getSingleRowStringResult(ids), 0) << conn->getLastErrorStr();
  EXPECT_EQ(ids, "20") << "rows 1 and 2, no open transaction";

  // Severity 20 closes the session: the service says so and reports the connection closed.
  EXPECT_TRUE(conn->isOpen());
  EXPECT_EQ(conn->executeQueryForZARezodud("RAISERROR('stop', 20, 1) WITH LOG", nullptr), 0);
  EXPECT_NE(output().find("Message:[[FreeTDS][SQL Server]stop]"), std::string::npos) << output();
  EXPECT_FALSE(conn->isOpen()) << conn->getLastErrorStr();
}

TEST_F(TdsPeerClients, BatchPastTheQueryTimeoutIsCancelledRolledBackAndTheConnectionGoesOn) {
  auto conn = open("timeouts");
  ASSERT_NE(conn->executeQueryForZARezodud("CREATE TABLE w (v INT)", nullptr), 0) << conn->getLastErrorStr();
  conn->setQueryTimeout(1);
  int code = -1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(conn->executeQueryForZARezodud("SELECT 1\nGO\nBEGIN TRAN\nINSERT INTO w VALUES (1)\n"
                                           "WAITFOR DELAY '00:00:30'\nGO\nINSERT INTO w VALUES (2)\n",
                                           &code),
            0);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(10)) << "the batch was not cancelled";
  EXPECT_EQ(conn->lastInterruption(), RKSimpleDBConnObject::Interruption::kTimedOut)
      << conn->getLastErrorStr();
  EXPECT_EQ(conn->lastInterruptedBatchLine(), 3);
  EXPECT_NE(conn->getLastErrorStr().find("line 3 ran longer than 1 second(s)"), std::string::npos)
      << conn->getLastErrorStr();

  conn->setQueryTimeout(0);
  ASSERT_NE(conn->executeQueryForZARezodud("SELECT COUNT(*) * 10 + @@TRANCOUNT FROM w", &code), 0)
      << conn->getLastErrorStr();
  EXPECT_EQ(code, 0) << "the insert of the cancelled batch was rolled back and no transaction is open";
  EXPECT_EQ(conn->lastInterruption(), RKSimpleDBConnObject::Interruption::kNone);
}

TEST_F(TdsPeerClients, CancelFromAnotherThreadStopsTheRunningBatch) {
  auto conn = open("cancels");
  int code = -1;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(conn->cancel(), 0);
  });
  const auto start = std::chrono::steady_clock::now();
  const int ran = conn->executeQueryForZARezodud(
      "PRINT 'started'\nGO\nWAITFOR DELAY '00:00:30'\nGO\nPRINT 'never'", &code);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  canceller.join();
  EXPECT_EQ(ran, 0);
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_EQ(conn->lastInterruption(), RKSimpleDBConnObject::Interruption::kCancelled)
      << conn->getLastErrorStr();
  EXPECT_EQ(conn->lastInterruptedBatchLine(), 3);
  EXPECT_EQ(output().find("never"), std::string::npos);
  ASSERT_NE(conn->executeQueryForZARezodud("SELECT 5", &code), 0) << conn->getLastErrorStr();
  EXPECT_EQ(code, 5);
  // A cancel while nothing runs does not stop the next run.
  EXPECT_EQ(conn->cancel(), 0);
  ASSERT_NE(conn->executeQueryForZARezodud("SELECT 6", &code), 0) << conn->getLastErrorStr();
  EXPECT_EQ(code, 6);
}

TEST_F(TdsPeerClients, TsqlSeesTypesLongResultsCountsAndTheErrorSemantics) {
  if (!ztest::TdsPeer::onPath("tsql")) GTEST_SKIP() << "tsql (freetds-bin) is not installed";
  std::string rows;
  for (int i = 1; i <= 3000; ++i)
    rows += (rows.empty() ? "" : ",") + std::string("(") + std::to_string(i) + ")";
  const std::string input = dir_.write(
      "input.sql",
      "CREATE TABLE typed (i INT NOT NULL, b BIGINT, s NVARCHAR(50), f FLOAT, flag BIT, at DATETIME, "
      "raw VARBINARY(8), gone NVARCHAR(10), body NVARCHAR(MAX))\n"
      "INSERT INTO typed VALUES (-7, 9000000000, N'gr\xC3\xBC\xC3\x9F', 2.5, 1, '2024-02-29 13:14:15', "
      "0x00FF10, "
      "NULL, N'" +
          std::string(5000, 'x') +
          "')\ngo\n"
          "SELECT i, b, s, f, flag, at, raw, gone, LEN(body) FROM typed\ngo\n"
          "CREATE TABLE many (n INT PRIMARY KEY)\nINSERT INTO many VALUES " +
          rows +
          "\ngo\nSELECT COUNT(*), MAX(n) FROM many\ngo\n"
          "SET XACT_ABORT ON\nRAISERROR('soft', 16, 1)\nPRINT 'after soft'\nINSERT INTO many VALUES (1)\n"
          "PRINT 'never printed'\ngo\nSELECT 'still', @@TRANCOUNT\ngo\nexit\n");
  const std::string out = runClient("tsql -H 127.0.0.1 -p " + std::to_string(peer_->port()) + " -U " +
                                        shellQuote(peer_->options().user) + " -P " +
                                        shellQuote(peer_->options().password) + " -D tsqltypes",
                                    input);
  EXPECT_TRUE(std::regex_search(
      out, std::regex("-7\t9000000000\tgr\xC3\xBC\xC3\x9F\t2.5\t1\tFeb 29 2024 01:14PM\t00ff10\t"
                      "NULL\t5000")))
      << out;
  EXPECT_NE(out.find("3000\t3000"), std::string::npos) << out;
  EXPECT_NE(out.find("after soft"), std::string::npos) << out;
  EXPECT_NE(out.find("Msg 2627"), std::string::npos) << out;
  EXPECT_EQ(out.find("never printed"), std::string::npos) << out;
  EXPECT_NE(out.find("still\t0"), std::string::npos) << out;
}

TEST(TdsPeerHang, SilentPeerEndsTheOpenWithTheLoginTimeout) {
  std::string missing;
  if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
  ztest::TdsPeer peer;
  ztest::TdsPeer::Options options;
  options.hang = true;
  std::string reason;
  ASSERT_TRUE(peer.start(options, reason)) << reason;
  ztest::EnvOverride timeout("ZAREZODUD_LOGIN_TIMEOUT", "2");
  std::unique_ptr<RKSimpleDBConnObject> conn(createSQLConnection());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NE(conn->OpenSQLConnectionUsingConnectionString(peer.connectionString("master"), false), 0);
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LE(seconds, 20) << conn->getLastErrorStr();
}

TEST(TdsPeerSelfTests, PythonUnitTestsOfThePeerPass) {
  if (!ztest::TdsPeer::onPath("python3")) GTEST_SKIP() << "python3 is not on the PATH";
  ztest::TempDir dir;
  const std::string input = dir.write("empty", "");
  const std::string peerDir = std::string(ZAREZODUD_SOURCE_DIR) + "/tests/tds_peer";
  const std::string out = runClient("env PYTHONDONTWRITEBYTECODE=1 python3 -m unittest discover -s " +
                                        shellQuote(peerDir) + " -p 'test_*.py' -t " + shellQuote(peerDir),
                                    input);
  EXPECT_NE(out.find("\nOK"), std::string::npos) << out;
  EXPECT_EQ(out.find("FAILED"), std::string::npos) << out;
}

}  // namespace
}  // namespace zarezodud
