// The database session lock: the statement sent and how the server's answers are read.
#include "database_lock.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/odbc/recording_connection.h"

namespace {

// Answers every script with a fixed return code, or fails it.
class LockAnswer : public zarezodud::RecordingConnection {
 public:
  LockAnswer(std::shared_ptr<zarezodud::RecordingSink> sink, int answer, bool fail)
      : RecordingConnection(std::move(sink)), m_answer(answer), m_fail(fail) {}
  int executeQueryForZARezodud(const std::string& text, int* returnCode) override {
    RecordingConnection::executeQueryForZARezodud(text, returnCode);
    if (returnCode != nullptr) *returnCode = m_answer;
    return m_fail ? 0 : 1;
  }
  std::string getLastErrorStr() const override { return m_fail ? "server went away" : ""; }

 private:
  int m_answer;
  bool m_fail;
};

struct FactoryScope {
  FactoryScope(std::shared_ptr<zarezodud::RecordingSink> sink, int answer, bool fail) {
    previous = zarezodud::setSQLConnectionFactory(
        [sink, answer, fail]() -> RKSimpleDBConnObject* { return new LockAnswer(sink, answer, fail); });
  }
  ~FactoryScope() { zarezodud::setSQLConnectionFactory(previous); }
  zarezodud::SQLConnectionFactory previous;
};

zcli::DatabaseLockResult lockWith(int answer, bool fail, std::string& message, std::string* sent = nullptr) {
  auto sink = std::make_shared<zarezodud::RecordingSink>();
  FactoryScope scope(sink, answer, fail);
  DBQueries db("SQL Server", "host", "", "O'Brien", "user", "pw");
  const auto result = zcli::takeDatabaseLock(db, "O'Brien", message);
  if (sent != nullptr && !sink->texts().empty()) *sent = sink->texts().back();
  return result;
}

TEST(DatabaseLockTest, StatementTakesAnExclusiveSessionLockWithoutWaiting) {
  const std::string text = zcli::databaseLockStatement("O'Brien");
  EXPECT_NE(text.find("@Resource='zarezodud:O''Brien'"), std::string::npos) << text;
  EXPECT_NE(text.find("@LockMode='Exclusive', @LockOwner='Session', @LockTimeout=0"), std::string::npos);
  EXPECT_NE(text.find("SELECT @zarezodud_lock;"), std::string::npos);
}

TEST(DatabaseLockTest, ReadsTheServersAnswer) {
  std::string message, sent;
  EXPECT_EQ(lockWith(0, false, message, &sent), zcli::DatabaseLockResult::kAcquired);
  EXPECT_NE(sent.find("sp_getapplock"), std::string::npos);
  EXPECT_EQ(lockWith(1, false, message), zcli::DatabaseLockResult::kAcquired);
  EXPECT_EQ(lockWith(-1, false, message), zcli::DatabaseLockResult::kHeldElsewhere);
  EXPECT_NE(message.find("locked by another upgrade run (sp_getapplock returned -1)"), std::string::npos);
  EXPECT_EQ(lockWith(0, true, message), zcli::DatabaseLockResult::kFailed);
  EXPECT_NE(message.find("server went away"), std::string::npos);
  EXPECT_EQ(message.find("pw"), std::string::npos);
}

}  // namespace
