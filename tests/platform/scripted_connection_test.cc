// The factory swap and the scripted double that other suites rely on.
#include "support/scripted_connection.h"

#include <gtest/gtest.h>

#include <memory>

#include "db/rows/rkdb_data_types.h"
#include "platform/odbc/odbc_connection.h"
#include "support/env_override.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

TEST(ConnectionFactory, ReplaceAndRestore) {
  {
    std::unique_ptr<RKSimpleDBConnObject> c(createSQLConnection());
    EXPECT_NE(dynamic_cast<OdbcConnection*>(c.get()), nullptr) << "production by default";
  }
  {
    ztest::ScopedScriptedConnections fake;
    std::unique_ptr<RKSimpleDBConnObject> c(createSQLConnection());
    EXPECT_NE(dynamic_cast<ztest::ScriptedConnection*>(c.get()), nullptr);
    {
      ztest::ScopedScriptedConnections inner;
      std::unique_ptr<RKSimpleDBConnObject> d(createSQLConnection());
      EXPECT_EQ(inner.script().made, 1);
    }
    std::unique_ptr<RKSimpleDBConnObject> e(createSQLConnection());
    EXPECT_EQ(fake.script().made, 2) << "the outer double is back after the inner guard";
  }
  std::unique_ptr<RKSimpleDBConnObject> c(createSQLConnection());
  EXPECT_NE(dynamic_cast<OdbcConnection*>(c.get()), nullptr) << "restored";
  SQLConnectionFactory old = setSQLConnectionFactory([]() -> RKSimpleDBConnObject* { return nullptr; });
  std::unique_ptr<RKSimpleDBConnObject> n(createSQLConnection());
  EXPECT_NE(n, nullptr) << "a factory yielding null falls back to production";
  setSQLConnectionFactory(old);
}

TEST(ScriptedConnection, RecordsAndAnswersInOrder) {
  ztest::ScopedScriptedConnections fake;
  ztest::ConnectionScript& s = fake.script();
  s.reply().returnCode = 150;
  s.failNext("Invalid object name 'x'.");
  s.rowNext("42");
  std::unique_ptr<RKSimpleDBConnObject> c(createSQLConnection());
  c->setNumConnectAttempts(6);
  EXPECT_EQ(c->OpenSQLConnectionUsingConnectionString("Server=a;PWD=p", false), 0);
  int code = 0;
  EXPECT_EQ(c->executeQueryForZARezodud("first", &code), 1);
  EXPECT_EQ(code, 150);
  EXPECT_EQ(c->executeQueryForZARezodud("second", nullptr), 0);
  EXPECT_EQ(c->getLastErrorStr(), "Invalid object name 'x'.");
  EXPECT_EQ(c->executeQuery("third", false), 0);
  int value = 0;
  EXPECT_EQ(c->getSingleRowIntResult(value), 0);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(c->executeQueryForZARezodud("fourth", &code), 1) << "no replies left: success";
  EXPECT_EQ(code, 0);
  EXPECT_EQ(s.texts, (std::vector<std::string>{"first", "second", "third", "fourth"}));
  EXPECT_EQ(s.connectionStrings, (std::vector<std::string>{"Server=a;PWD=p"}));
  EXPECT_EQ(s.connectAttempts, 6);
  EXPECT_EQ(s.count("executeQueryForZARezodud"), 3);
  EXPECT_EQ(s.count("getSingleRowIntResult"), 1);
  c.reset();
  EXPECT_EQ(s.destroyed, 1);
}

TEST(ScriptedConnection, FailedOpenAndBoundRows) {
  ztest::ScopedScriptedConnections fake;
  fake.script().openResult = 1;
  fake.script().openError = "cannot reach";
  fake.script().reply().rows = {{std::string("7"), std::string("2024-05-06 07:08:09"), std::nullopt},
                                {std::nullopt, std::string("2000-01-01 00:00:00"), std::string("t")}};
  std::unique_ptr<RKSimpleDBConnObject> c(createSQLConnection());
  EXPECT_EQ(c->OpenSQLConnectionUsingConnectionString("x", false), 1);
  EXPECT_EQ(c->getLastErrorStr(), "cannot reach");
  ASSERT_EQ(c->executeQuery("SELECT", false), 0);
  RKDB_int i;
  RKDB_datetime at;
  RKDB_string s;
  std::int64_t ind[3] = {0, 0, 0};
  c->setExtIndicatorArray(ind);
  c->RKDBVar_addCol(&i, -1);
  c->RKDBVar_addCol(&at, -1);
  c->RKDBVar_addCol(&s, -1);
  ASSERT_EQ(c->RKDBVar_bind(), 0);
  ASSERT_EQ(c->getNextRow(), 0);
  EXPECT_EQ(i.getData(), 7);
  EXPECT_EQ(at.getData().year, 2024);
  EXPECT_EQ(at.getData().second, 9);
  EXPECT_TRUE(s.isNull());
  EXPECT_EQ(ind[2], -1);
  ASSERT_EQ(c->getNextRow(), 0);
  EXPECT_TRUE(i.isNull());
  EXPECT_EQ(s.getData(), "t");
  EXPECT_EQ(c->getNextRow(), 1);
}

TEST(ScriptedConnection, MessagesGoToTheTemporaryOutputFile) {
  ztest::TempDir tmp;
  ztest::EnvOverride dir("ZAREZODUD_OUTPUT_DIR", tmp.path());
  ztest::ScopedScriptedConnections fake;
  ztest::ScriptedMessage m;
  m.text = "Msg one";
  m.line = 3;
  fake.script().reply().messages = {m};
  std::unique_ptr<RKSimpleDBConnObject> c(createSQLConnection());
  EXPECT_EQ(c->executeQueryForZARezodud("x", nullptr), 1);
  const std::string out = ztest::readFile(tmp.file("tempOutputFile.txt"));
  EXPECT_NE(out.find("SQLState:[01000] NativeError:[0] Message:[Msg one] [RecNum:1, LineNum:3]\n"), std::string::npos)
      << out;
}

}  // namespace
}  // namespace zarezodud
