// One-shot database operations of DBQueries through FreeTDS against the SQL Server protocol
// test peer, checked against the peer's log of what it received: a restore that moves every
// file the backup lists (the peer's configured file list) into the target directory, the
// compatibility level, a drop that closes the object's own product connection first, and
// arguments that try to close a literal or identifier of the caller's script and add a statement
// of their own: refused before anything is sent, so the statement never runs.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "db/db_queries.h"
#include "support/env_override.h"
#include "support/peer_upgrade.h"
#include "support/registry_sandbox.h"
#include "support/tds_peer.h"
#include "support/temp_dir.h"

namespace {

struct Sent {
  std::string database;
  std::string text;
};

class PeerOneShot : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
    ztest::TdsPeer::Options options;
    options.filelist = {"Corehub", "Corehub_log", "O'Hara_data"};
    std::string reason;
    ASSERT_TRUE(peer_.start(options, reason)) << reason;
    queries_ = std::make_unique<DBQueries>("SQL Server", "127.0.0.1," + std::to_string(peer_.port()), "",
                                           "Corehub", peer_.options().user, peer_.options().password);
  }

  // Everything the peer received, with the database it was sent on.
  std::vector<Sent> sent() const {
    std::vector<Sent> out;
    for (const std::string& entry : peer_.logEntries()) {
      if (ztest::jsonStringField(entry, "kind") == "login") continue;
      out.push_back({ztest::jsonStringField(entry, "database"), ztest::jsonStringField(entry, "text")});
    }
    return out;
  }
  // The first request whose text matches pattern; empty database and text when none does.
  Sent find(const std::string& pattern) const {
    const std::regex re(pattern);
    for (const Sent& s : sent()) {
      if (std::regex_search(s.text, re)) return s;
    }
    return {};
  }
  int loginsTo(const std::string& database) const {
    int count = 0;
    for (const std::string& entry : peer_.logEntries()) {
      if (ztest::jsonStringField(entry, "kind") == "login" &&
          ztest::jsonStringField(entry, "database") == database) {
        ++count;
      }
    }
    return count;
  }

  ztest::RegistrySandbox registry_;
  ztest::TempDir dir_;
  ztest::EnvOverride output_{"ZAREZODUD_OUTPUT_DIR", dir_.file("out")};
  ztest::EnvOverride driver_{"ZAREZODUD_ODBC_DRIVER", "FreeTDS"};
  ztest::TdsPeer peer_;
  std::unique_ptr<DBQueries> queries_;
};

TEST_F(PeerOneShot, RestoreMovesEveryListedFileIntoTheTargetDirectory) {
  ASSERT_EQ(queries_->restoreDB("/var/backups/Corehub full.bak", "Corehub", "/srv/sql/data"), 1u)
      << queries_->getLastError();
  const Sent list = find(R"(RESTORE FILELISTONLY FROM DISK = '/var/backups/Corehub full\.bak')");
  EXPECT_EQ(list.database, "MASTER") << "the file list is read on master";
  const Sent restore = find("RESTORE DATABASE ");
  ASSERT_FALSE(restore.text.empty()) << "no restore was sent";
  EXPECT_EQ(restore.database, "MASTER");
  // One MOVE per logical file, in the listed order, quotes doubled.
  EXPECT_TRUE(std::regex_search(
      restore.text,
      std::regex(
          R"(RESTORE DATABASE \[Corehub\] FROM DISK = '/var/backups/Corehub full\.bak' WITH RECOVERY, REPLACE,\s*)"
          R"(MOVE 'Corehub' TO '/srv/sql/data/Corehub',\s*MOVE 'Corehub_log' TO '/srv/sql/data/Corehub_log',\s*)"
          R"(MOVE 'O''Hara_data' TO '/srv/sql/data/O''Hara_data'\s*$)")))
      << restore.text;
  EXPECT_EQ(loginsTo("Corehub"), 0) << "a restore needs no product connection";
}

TEST_F(PeerOneShot, RestoreRefusesANameThatCouldCarryAStatement) {
  EXPECT_EQ(queries_->restoreDB("/b/x.bak", "Corehub; DROP TABLE x", "/d"), 0u);
  EXPECT_NE(std::string(queries_->getLastError()).find("cannot be restored"), std::string::npos);
  EXPECT_TRUE(sent().empty()) << "nothing may reach the server";
}

TEST_F(PeerOneShot, CompatibilityLevelIsSetOnTheProductDatabase) {
  ASSERT_EQ(queries_->setSQLServerCompatibilityLevel("Corehub", 150), 1u) << queries_->getLastError();
  const Sent level = find(R"(sp_dbcmptlevel 'Corehub', 150)");
  EXPECT_EQ(level.database, "Corehub");
  ASSERT_EQ(queries_->setSQLServerCompatibilityLevel("Odd'Name", 140), 1u) << queries_->getLastError();
  EXPECT_FALSE(find(R"(sp_dbcmptlevel 'Odd''Name', 140)").text.empty());
}

TEST_F(PeerOneShot, DropClosesTheProductConnectionAndRunsOnMaster) {
  // The peer drops no databases; the caller's script only announces the drop here.
  const std::string script = dir_.write("drop.sql", "PRINT 'Dropping database [%s]'\n");
  ASSERT_EQ(queries_->executeSQLQuery("SELECT 1", 1, "ON"), 1u) << queries_->getLastError();
  ASSERT_EQ(loginsTo("Corehub"), 1);

  ASSERT_EQ(queries_->DropDatabase(script, "corehub"), 1u) << queries_->getLastError();
  const Sent drop = find(R"(Dropping database \[corehub\])");
  EXPECT_EQ(drop.database, "MASTER");
  // The product connection was closed: the next product statement logs in again.
  ASSERT_EQ(queries_->executeSQLQuery("SELECT 2", 1, "ON"), 1u) << queries_->getLastError();
  EXPECT_EQ(loginsTo("Corehub"), 2);

  // Dropping another database leaves the product connection open.
  const std::string other = dir_.write("drop_other.sql", "PRINT 'Dropping database [%s]'\n");
  ASSERT_EQ(queries_->DropDatabase(other, "Archive"), 1u) << queries_->getLastError();
  ASSERT_EQ(queries_->executeSQLQuery("SELECT 3", 1, "ON"), 1u) << queries_->getLastError();
  EXPECT_EQ(loginsTo("Corehub"), 2);
}

TEST_F(PeerOneShot, ArgumentsCannotAddStatementsToTheCallersScripts) {
  const std::string drop = dir_.write("drop_table.sql", "DROP TABLE IF EXISTS [%s]\n");
  const std::string check = dir_.write("check.sql", "SELECT '%s'\n");
  const std::string bare = dir_.write("bare.sql", "SELECT 1 AS v WHERE 1 = %s\n");
  ASSERT_EQ(queries_->DropDatabase(drop, "nothing]; CREATE TABLE inj_drop (x int)--"), 0u);
  EXPECT_NE(std::string(queries_->getLastError()).find("DBQueries::DropDatabase: the database name"),
            std::string::npos)
      << queries_->getLastError();
  EXPECT_EQ(queries_->checkDBConsistency(check, "x'; CREATE TABLE inj_check (x int)--"), 0u);
  EXPECT_EQ(queries_->addExtendedStoredProc(bare, "1; CREATE TABLE inj_bare (x int)", "a", "b"), 0u);
  EXPECT_NE(std::string(queries_->getLastError()).find("argument 2"), std::string::npos)
      << queries_->getLastError();
  // A text argument inside a literal is quoted, not refused: it reaches the server as text.
  const std::string literal = dir_.write("literal.sql", "PRINT 'value: %s'\n");
  ASSERT_EQ(queries_->addAllExtendedStoredProcsAndCreateCLRFunctions(literal,
                                                                     "it'); CREATE TABLE inj_lit (x int)--"),
            1u)
      << queries_->getLastError();
  EXPECT_FALSE(find(R"(PRINT 'value: it''\); CREATE TABLE inj_lit)").text.empty());

  for (const Sent& s : sent()) {
    EXPECT_EQ(s.text.find("inj_drop"), std::string::npos) << s.text;
    EXPECT_EQ(s.text.find("inj_check"), std::string::npos) << s.text;
    EXPECT_EQ(s.text.find("inj_bare"), std::string::npos) << s.text;
  }
  for (const char* database : {"Corehub", "MASTER"}) {
    EXPECT_EQ(ztest::PeerUpgrade::queryPeer(peer_, database,
                                            "SELECT name FROM sqlite_master WHERE name LIKE 'inj%'"),
              std::vector<std::string>{})
        << database;
  }
}

TEST_F(PeerOneShot, RestoreBracketsNamesThatAreNotRegularIdentifiers) {
  for (const std::string name : {"Core-hub", "@hub", "1hub"}) {
    ASSERT_EQ(queries_->restoreDB("/b/x.bak", name, "/d"), 1u) << name << ": " << queries_->getLastError();
    EXPECT_FALSE(find("RESTORE DATABASE \\[" + name + "\\] FROM DISK = '/b/x\\.bak'").text.empty()) << name;
  }
}

}  // namespace
