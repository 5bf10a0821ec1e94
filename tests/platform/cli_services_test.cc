// The small platform services the command builds on: SHA-256 digests, the recording
// connection with its journal, and the per-database host lock.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "platform/crypto/sha256.h"
#include "platform/fs/host_lock.h"
#include "platform/odbc/recording_connection.h"
#include "support/temp_dir.h"

namespace {

TEST(Sha256Test, MatchesKnownDigestsForTextAndFiles) {
  EXPECT_EQ(zarezodud::sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(zarezodud::sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  ztest::TempDir dir;
  // Larger than one read chunk, so that chunking is exercised.
  const std::string big(200000, 'q');
  const std::string path = dir.write("big.bin", big);
  std::string hex, error;
  ASSERT_TRUE(zarezodud::sha256File(path, hex, error)) << error;
  EXPECT_EQ(hex, zarezodud::sha256Hex(big));
  hex = "unchanged";
  EXPECT_FALSE(zarezodud::sha256File(dir.file("absent"), hex, error));
  EXPECT_EQ(hex, "unchanged");
  EXPECT_NE(error.find("absent"), std::string::npos);
}

TEST(RecordingConnectionTest, RecordsEveryTextAndJournalsOnlyLabelledScripts) {
  ztest::TempDir dir;
  auto sink = std::make_shared<zarezodud::RecordingSink>();
  std::string error;
  ASSERT_TRUE(sink->openJournal(dir.file("journal"), error)) << error;
  zarezodud::RecordingConnection connection(sink);
  EXPECT_EQ(connection.OpenSQLConnectionUsingConnectionString("Server=x;PWD=y;", false), 0);
  int code = 77;
  EXPECT_EQ(connection.executeQueryForZARezodud("SELECT 1", &code), 1);
  EXPECT_EQ(code, 0);
  sink->setCurrentScript("/s/one.sql");
  EXPECT_EQ(connection.executeQueryForZARezodud("SET XACT_ABORT ON\nGO\nbody", nullptr), 1);
  sink->setCurrentScript("");
  EXPECT_EQ(connection.executeQuery("SELECT name FROM t", false), 0);
  EXPECT_EQ(connection.getNextRow(), 1);
  int value = 0;
  EXPECT_NE(connection.getSingleRowIntResult(value), 0);
  EXPECT_EQ(sink->texts().size(), 3u);
  EXPECT_EQ(ztest::readFile(dir.file("journal")), "/s/one.sql\n");
}

TEST(RecordingConnectionTest, CountsJournalLinesAcrossReopening) {
  ztest::TempDir dir;
  const std::string path = dir.write("journal", "/a.sql\n/b.sql\n");
  auto sink = std::make_shared<zarezodud::RecordingSink>();
  std::string error;
  ASSERT_TRUE(sink->openJournal(path, error)) << error;
  EXPECT_EQ(sink->journalLines(), 2);
  zarezodud::RecordingConnection connection(sink);
  sink->setCurrentScript("/c.sql");
  connection.executeQueryForZARezodud("x", nullptr);
  EXPECT_EQ(sink->journalLines(), 3);
  EXPECT_EQ(zarezodud::RecordingSink::countJournalLines(path), 3);
  EXPECT_EQ(zarezodud::RecordingSink::countJournalLines(dir.file("absent")), 0);
}

TEST(RecordingConnectionTest, FactoryMakesRecordingConnectionsUntilRestored) {
  auto sink = std::make_shared<zarezodud::RecordingSink>();
  const auto previous = zarezodud::installRecordingFactory(sink);
  std::unique_ptr<RKSimpleDBConnObject> made(zarezodud::createSQLConnection());
  EXPECT_NE(dynamic_cast<zarezodud::RecordingConnection*>(made.get()), nullptr);
  zarezodud::setSQLConnectionFactory(previous);
  std::unique_ptr<RKSimpleDBConnObject> production(zarezodud::createSQLConnection());
  EXPECT_EQ(dynamic_cast<zarezodud::RecordingConnection*>(production.get()), nullptr);
}

bool makesRecordingConnections() {
  std::unique_ptr<RKSimpleDBConnObject> made(zarezodud::createSQLConnection());
  return dynamic_cast<zarezodud::RecordingConnection*>(made.get()) != nullptr;
}

TEST(RecordingConnectionTest, ScopeHandsTheFactoryBackOnEveryWayOut) {
  auto sink = std::make_shared<zarezodud::RecordingSink>();
  {
    zarezodud::RecordingFactoryScope scope(sink);
    EXPECT_TRUE(makesRecordingConnections());
  }
  EXPECT_FALSE(makesRecordingConnections()) << "left by the end of the scope";
  try {
    zarezodud::RecordingFactoryScope scope(sink);
    throw std::runtime_error("early way out");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(makesRecordingConnections()) << "left by an exception";
  zarezodud::RecordingFactoryScope scope(sink);
  scope.restore();
  EXPECT_FALSE(makesRecordingConnections());
  // A second restore must not install anything: a factory set since stays.
  const auto outer = zarezodud::installRecordingFactory(sink);
  scope.restore();
  EXPECT_TRUE(makesRecordingConnections());
  zarezodud::setSQLConnectionFactory(outer);
}

TEST(HostLockTest, SecondHolderIsRefusedUntilTheFirstReleases) {
  ztest::TempDir dir;
  const std::string path = dir.file("db.lock");
  std::string error;
  auto first = std::make_unique<zarezodud::HostLock>();
  ASSERT_EQ(first->acquire(path, error), zarezodud::HostLock::Result::kAcquired) << error;
  zarezodud::HostLock second;
  EXPECT_EQ(second.acquire(path, error), zarezodud::HostLock::Result::kHeldElsewhere);
  EXPECT_NE(error.find(path), std::string::npos);
  EXPECT_FALSE(second.held());
  first.reset();
  EXPECT_EQ(second.acquire(path, error), zarezodud::HostLock::Result::kAcquired);
  zarezodud::HostLock third;
  EXPECT_EQ(third.acquire(dir.file("no/dir/x.lock"), error), zarezodud::HostLock::Result::kFailed);
}

}  // namespace
