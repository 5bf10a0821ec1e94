// Connection values that hold the characters of the connection-string syntax (';', '=', '{',
// '}'), given to the zarezodud command as a password, a user or a database name, run against
// the SQL Server protocol test peer through FreeTDS. Each value must reach the server as the
// one value it is: the peer's log shows every login going to the database the parameters name
// and to no database that the value spells out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/peer_upgrade.h"
#include "support/tds_peer.h"

namespace {

class PeerConnectionValues : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
  }
  void start(const ztest::TdsPeer::Options& options) {
    std::string reason;
    ASSERT_TRUE(peer_.start(options, reason)) << reason;
  }
  // The databases of every login the peer saw, with whether it succeeded.
  std::vector<std::pair<std::string, bool>> logins() const {
    std::vector<std::pair<std::string, bool>> out;
    for (const std::string& entry : peer_.logEntries()) {
      if (ztest::jsonStringField(entry, "kind") != "login") continue;
      out.emplace_back(ztest::jsonStringField(entry, "database"),
                       entry.find("\"ok\": true") != std::string::npos);
    }
    return out;
  }
  // Every logged login succeeded and went to database or to master, at least one to database.
  void expectLoginsOnlyTo(const std::string& database) const {
    const auto seen = logins();
    ASSERT_FALSE(seen.empty());
    int product = 0;
    for (const auto& login : seen) {
      EXPECT_TRUE(login.second) << "refused login to [" << login.first << "]";
      EXPECT_TRUE(login.first == database || login.first == "MASTER") << "login to [" << login.first << "]";
      product += login.first == database ? 1 : 0;
    }
    EXPECT_GT(product, 0) << "no login reached [" << database << "]";
  }
  // Every statement the peer ran, with the database it ran on.
  std::vector<std::string> statementDatabases() const {
    std::vector<std::string> out;
    for (const std::string& entry : peer_.logEntries()) {
      if (ztest::jsonStringField(entry, "kind") != "login")
        out.push_back(ztest::jsonStringField(entry, "database"));
    }
    return out;
  }

  ztest::TdsPeer peer_;
  ztest::PeerUpgrade inst_{ZAREZODUD_CLI_PATH, true};
};

TEST_F(PeerConnectionValues, PasswordWithAttributeSyntaxLogsInAsItselfAndOpensNoOtherDatabase) {
  ztest::TdsPeer::Options options;
  options.password = "zz;Database=InjectedDB";
  start(options);
  const ztest::CommandResult result =
      inst_.run(ztest::PeerUpgrade::runArgs("UpgradeDB", peer_.port()), options.password);
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  expectLoginsOnlyTo("Corehub");
  for (const std::string& database : statementDatabases()) EXPECT_NE(database, "InjectedDB");
  EXPECT_EQ((result.out + result.err).find(options.password), std::string::npos);
}

TEST_F(PeerConnectionValues, PasswordWithBracesAndSemicolonsLogsIn) {
  ztest::TdsPeer::Options options;
  options.password = "{a;b=c}}";
  start(options);
  const ztest::CommandResult result =
      inst_.run(ztest::PeerUpgrade::runArgs("UpgradeDB", peer_.port()), options.password);
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  expectLoginsOnlyTo("Corehub");
}

TEST_F(PeerConnectionValues, UserNameWithAttributeSyntaxIsOneUserName) {
  ztest::TdsPeer::Options options;
  options.user = "sa;Database=ViaUser";
  start(options);
  std::vector<std::string> args = ztest::PeerUpgrade::runArgs("UpgradeDB", peer_.port());
  args.insert(args.end(), {"--set", "userId=" + options.user});
  const ztest::CommandResult result = inst_.run(args, options.password);
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  expectLoginsOnlyTo("Corehub");
  for (const std::string& database : statementDatabases()) EXPECT_NE(database, "ViaUser");
}

TEST_F(PeerConnectionValues, DatabaseNameWithAttributeSyntaxIsOneDatabaseName) {
  start(ztest::TdsPeer::Options());
  const std::string name = "Corehub;Database=OtherDB";
  std::vector<std::string> args = ztest::PeerUpgrade::runArgs("UpgradeDB", peer_.port());
  args.insert(args.end(), {"--set", "DBname=" + name});
  const ztest::CommandResult result = inst_.run(args, peer_.options().password);
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  expectLoginsOnlyTo(name);
  for (const std::string& database : statementDatabases()) EXPECT_NE(database, "OtherDB");
  // The server lock was taken on the database the parameters name.
  bool lockedThere = false;
  for (const std::string& entry : peer_.logEntries()) {
    if (ztest::jsonStringField(entry, "text").find("sp_getapplock") != std::string::npos) {
      lockedThere = lockedThere || ztest::jsonStringField(entry, "database") == name;
      EXPECT_NE(ztest::jsonStringField(entry, "database"), "OtherDB");
    }
  }
  EXPECT_TRUE(lockedThere);
}

}  // namespace
