// The server-upgrade operations with the product services replaced by the recording double and
// the procedure's rows coming through the scripted connection: progress texts and their order,
// which steps run for which release, the client password step, the procedure walks and the
// application-manager result rule.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/db_queries.h"
#include "db/rows/db_table.h"
#include "platform/crypto/rk_password.h"
#include "platform/registry/registry_names.h"
#include "platform/registry/rk_pi_focus.h"
#include "platform/registry/rk_platform_info.h"
#include "support/env_override.h"
#include "support/recording_product_services.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"

namespace {

namespace names = zarezodud::registry_names;
using Calls = std::vector<std::string>;

const char kFocus[] = "Instance001";
const char kSecret[] = "session secret";
const char kUpdated[] = "Database is updated with the new version successfully.\n";

std::string parameterLine(const char* target, unsigned long rel, unsigned long build, unsigned long oem,
                          int installer, const char* client) {
  char line[512];
  std::snprintf(line, sizeof line,
                "Parameters passed to the function: focus [%s], toRelease [%s], upgradeFromRel [%lu], "
                "upgradeFromBuild [%lu], oemId [%lu], bFromInstaller [%d], client [%s]\n",
                kFocus, target, rel, build, oem, installer, client);
  return line;
}

class ServerUpgradeTest : public ::testing::Test {
 protected:
  ServerUpgradeTest()
      : driver_("ZAREZODUD_ODBC_DRIVER", "Test Driver"),
        focus_(zarezodud::RKPI_Focus::getFocus()),
        installed_(services_),
        db_(new DBQueries("SQL Server", "srv", "", "Corehub", "sa", "pw")) {}
  ~ServerUpgradeTest() override {
    db_.reset();
    zarezodud::RKPI_Focus::setFocus(focus_.c_str());
  }

  // Stores text (encrypted unless raw) as the focus's session password.
  void storeSessionPassword(const std::string& text, bool raw = false) {
    std::string stored = text;
    if (!raw) {
      std::string error;
      stored = zarezodud::RKPassword::encrypt(text, &error);
      ASSERT_FALSE(stored.empty()) << error;
    }
    zarezodud::RKPlatformInfo writer;
    writer.setFocus(kFocus);
    ASSERT_EQ(writer.setString(names::kSessionKey, names::kNetworkPasswordValue, stored), 1);
  }
  // A procedure row: clientId, clientName, OS, release, errCode, errString.
  static ztest::ScriptedRow procedureRow(const std::string& clientId, const std::string& errString = "") {
    return {clientId,         std::string("client-") + clientId,
            std::string("1"), std::string("16"),
            std::string("0"), errString};
  }
  void procedureReply(const std::vector<ztest::ScriptedRow>& rows) { script().reply().rows = rows; }
  ztest::ConnectionScript& script() { return fake_.script(); }
  std::string lastError() const { return db_->getLastError(); }

  ztest::RegistrySandbox registry_;
  ztest::EnvOverride driver_;
  std::string focus_;
  ztest::ScopedScriptedConnections fake_;
  ztest::RecordingProductServices services_;
  ztest::ScopedProductServices installed_;
  std::unique_ptr<DBQueries> db_;
};

TEST_F(ServerUpgradeTest, CurrentReleaseWithABuildIsDoneAtOnce) {
  zarezodud::RKPI_Focus::setFocus("elsewhere");
  ASSERT_EQ(db_->activateCH(16, 5, kFocus), 1u);
  EXPECT_EQ(lastError(), parameterLine("", 16, 5, 0, 0, "") + kUpdated);
  EXPECT_EQ(zarezodud::RKPI_Focus::getFocus(), kFocus);
  EXPECT_TRUE(services_.calls.empty());
}

TEST_F(ServerUpgradeTest, WhichReleasesRunTheCertificateAndVersionSteps) {
  struct Case {
    int release, build;
    Calls calls;
    std::string checkpoints;
  } cases[] = {
      {16, 0, {}, ""},
      {15, 3, {}, ""},
      {14,
       0,
       {"CreateCACertificate", "UpdateVersionString"},
       "Chk point: Passed CreateCACertificate.\nChk point: Passed addClientSPVersionString.\n"},
      {9,
       2,
       {"CreateCACertificate", "UpdateVersionString"},
       "Chk point: Passed CreateCACertificate.\nChk point: Passed addClientSPVersionString.\n"},
  };
  for (const Case& c : cases) {
    services_.calls.clear();
    EXPECT_EQ(db_->activateCH(c.release, c.build, kFocus), 1u) << c.release;
    EXPECT_EQ(services_.calls, c.calls) << c.release;
    EXPECT_EQ(lastError(), parameterLine("", c.release, c.build, 0, 0, "") + c.checkpoints + kUpdated)
        << c.release;
  }
}

TEST_F(ServerUpgradeTest, InstallerActivationStoresTheSessionPasswordInClientTwo) {
  storeSessionPassword(kSecret);
  ASSERT_EQ(db_->activateCHForInstaller(14, 0, kFocus, "corehub", 7), 1u) << lastError();
  EXPECT_EQ(services_.calls, (Calls{"CreateCACertificate", "client.lookup", "client.setPassword",
                                    "client.update", "UpdateVersionString"}));
  EXPECT_EQ(services_.clientIds, (std::vector<int>{2}));
  EXPECT_TRUE(services_.clientPassword == kSecret) << "the decrypted session password reaches the client";
  EXPECT_EQ(lastError(), parameterLine("11.0.0(BUILD80)", 14, 0, 7, 1, "corehub") +
                             "Chk point: Passed CreateCACertificate.\n"
                             "Chk point: updated client password in the client tbl.\n"
                             "Chk point: Passed addClientSPVersionString.\n" +
                             kUpdated);
  EXPECT_EQ(lastError().find(kSecret), std::string::npos);
}

TEST_F(ServerUpgradeTest, UpgradeToolActivationLeavesTheClientPasswordAlone) {
  storeSessionPassword(kSecret);
  ASSERT_EQ(db_->activateCH(14, 0, kFocus), 1u);
  EXPECT_EQ(services_.calls, (Calls{"CreateCACertificate", "UpdateVersionString"}));
  EXPECT_TRUE(services_.clientIds.empty());
}

TEST_F(ServerUpgradeTest, AFailingActivationStepEndsTheTextAndTheRun) {
  struct Case {
    const char* failing;
    const char* error;
    Calls calls;
    std::string tail;
  } cases[] = {
      {"CreateCACertificate", "no key", {"CreateCACertificate"}, "CreateCACertificate failed: no key"},
      {"client.lookup",
       "no row",
       {"CreateCACertificate", "client.lookup"},
       "Chk point: Passed CreateCACertificate.\nFailed to set client password: client.lookup Failed: no row"},
      {"client.update",
       "read-only",
       {"CreateCACertificate", "client.lookup", "client.setPassword", "client.update"},
       "Chk point: Passed CreateCACertificate.\nFailed to set client password: client.update Failed: "
       "read-only"},
      {"UpdateVersionString",
       "script missing",
       {"CreateCACertificate", "client.lookup", "client.setPassword", "client.update", "UpdateVersionString"},
       "Chk point: Passed CreateCACertificate.\nChk point: updated client password in the client tbl.\n"
       "Failed to update client SP version: Failed to update the version string for the Clients in CH DB."},
  };
  storeSessionPassword(kSecret);
  for (const Case& c : cases) {
    services_.calls.clear();
    services_.failures.clear();
    services_.fail(c.failing, c.error);
    EXPECT_EQ(db_->activateCHForInstaller(14, 0, kFocus, "ch", 0), 0u) << c.failing;
    EXPECT_EQ(services_.calls, c.calls) << c.failing;
    EXPECT_EQ(lastError(), parameterLine("11.0.0(BUILD80)", 14, 0, 0, 1, "ch") + c.tail) << c.failing;
  }
}

TEST_F(ServerUpgradeTest, SessionPasswordThatIsNothingToDo) {
  std::string error;
  // Stored empty: size 0.
  storeSessionPassword("", true);
  EXPECT_EQ(db_->setClientPassword(kFocus, error), 1u);
  EXPECT_EQ(error, "");
  // Decrypts to nothing.
  storeSessionPassword("");
  EXPECT_EQ(db_->setClientPassword(kFocus, error), 1u);
  EXPECT_EQ(services_.calls, Calls{}) << "the client record is not touched";
  EXPECT_EQ(services_.clientIds, (std::vector<int>{2, 2})) << "a client object is made each time";
}

TEST_F(ServerUpgradeTest, SessionPasswordFailures) {
  std::string error;
  EXPECT_EQ(db_->setClientPassword(kFocus, error), 0u);
  EXPECT_EQ(error, "Failed to get the session pwd from registry.");

  storeSessionPassword("v1:not-a-valid-text", true);
  EXPECT_EQ(db_->setClientPassword(kFocus, error), 0u);
  EXPECT_EQ(error, "Failed to decrypt the password.");
  EXPECT_TRUE(services_.calls.empty());

  // The stored value is read under the given focus, not the process-wide one.
  storeSessionPassword(kSecret);
  zarezodud::RKPI_Focus::setFocus("elsewhere");
  error.clear();
  EXPECT_EQ(db_->setClientPassword(kFocus, error), 1u) << error;
  EXPECT_EQ(zarezodud::RKPI_Focus::getFocus(), "elsewhere");

  script().openResult = 1;
  db_.reset(new DBQueries("SQL Server", "srv", "", "Corehub", "sa", "pw"));
  EXPECT_EQ(db_->setClientPassword(kFocus, error), 0u);
  EXPECT_EQ(error.rfind("client.lookup Failed: Failed to get database connection", 0), 0u) << error;
  EXPECT_EQ(error.find("=pw"), std::string::npos) << "the connection password stays masked";
}

// A host-supplied service that throws: the operations report a failure instead.
class ThrowingServices : public ztest::RecordingProductServices {
 public:
  bool populateServer(DBQueries&, std::string&) override { throw std::runtime_error("service crashed"); }
  int CreateCACertificate(unsigned long, std::string&, int) override { throw 42; }
};

TEST_F(ServerUpgradeTest, ExceptionsFromServicesBecomeFailures) {
  ThrowingServices throwing;
  ztest::ScopedProductServices installed(throwing);
  EXPECT_EQ(db_->populateCHActivityControl(), 0u);
  EXPECT_EQ(lastError(), "Failed to populate Activity control for the Corehub. Error[service crashed]");
  EXPECT_EQ(db_->activateCH(14, 0, kFocus), 0u);
  EXPECT_EQ(lastError(),
            parameterLine("", 14, 0, 0, 0, "") + "Activation stopped by an error: unknown exception");
}

TEST_F(ServerUpgradeTest, ActivityControl) {
  EXPECT_EQ(db_->populateCHActivityControl(), 1u);
  services_.fail("populateServer", "script missing");
  EXPECT_EQ(db_->populateCHActivityControl(), 0u);
  EXPECT_EQ(lastError(), "Failed to populate Activity control for the Corehub.");
  EXPECT_EQ(services_.databases, (std::vector<const DBQueries*>{db_.get(), db_.get()}));
}

TEST_F(ServerUpgradeTest, AllDeconfiguredClientsWithoutRows) {
  procedureReply({});
  ASSERT_EQ(db_->upgradeAllDeconfiguredClients(14, 0, kFocus), 1u) << lastError();
  EXPECT_TRUE(
      std::regex_match(lastError(), std::regex("upgradeAllDeconfiguredClients completed and Total Time "
                                               "Taken : [0-9]+\\.[0-9]{6} , SP Time Taken 0\\.000000 "
                                               "and Total Rows affected 0")))
      << lastError();
  EXPECT_EQ(script().texts, Calls{"EXEC AppIfaUpgrade_UninstalledClients 0,0"});
  EXPECT_EQ(zarezodud::RKPI_Focus::getFocus(), kFocus);
}

TEST_F(ServerUpgradeTest, AllDeconfiguredClientsCountsRowsAndStopsAtAFailedOne) {
  procedureReply({procedureRow("4"), procedureRow("5"), procedureRow("6")});
  ASSERT_EQ(db_->upgradeAllDeconfiguredClients(14, 0, kFocus), 1u) << lastError();
  EXPECT_NE(lastError().find("and Total Rows affected 3"), std::string::npos) << lastError();

  procedureReply({procedureRow("4"), procedureRow("0", "disk full"), procedureRow("6")});
  EXPECT_EQ(db_->upgradeAllDeconfiguredClients(14, 0, kFocus), 0u);
  EXPECT_TRUE(std::regex_match(
      lastError(), std::regex("AppIfaUpgrade_UninstalledClients returned error\\[disk full\\] SP Time Taken "
                              "[0-9]+\\.[0-9]{6} ")))
      << lastError();

  script().failNext("procedure missing");
  EXPECT_EQ(db_->upgradeAllDeconfiguredClients(14, 0, kFocus), 0u);
  EXPECT_EQ(lastError(),
            "AppIfaUpgrade_UninstalledClients failed. Error[The statement failed: procedure missing]");
}

TEST_F(ServerUpgradeTest, AgentsConfiguredOnTheCorehubTakeOneRow) {
  procedureReply({procedureRow("7")});
  EXPECT_EQ(db_->UpgradeAgentsConfiguredOnCH(14, 0, kFocus), 1u);
  EXPECT_EQ(lastError(), "upgradeAllDeconfiguredClients completed");
  EXPECT_EQ(script().texts.back(), "EXEC AppIfaUpgrade_UninstalledClients 2,0");

  procedureReply({});
  EXPECT_EQ(db_->UpgradeAgentsConfiguredOnCH(14, 0, kFocus), 0u);
  EXPECT_EQ(lastError(), "AppIfaUpgrade_UninstalledClients failed. Error[No rows found]");

  procedureReply({procedureRow("0", "agent busy")});
  EXPECT_EQ(db_->UpgradeAgentsConfiguredOnCH(14, 0, kFocus), 0u);
  EXPECT_EQ(lastError(), "AppIfaUpgrade_UninstalledClients returned error[agent busy]");
}

TEST_F(ServerUpgradeTest, ApplicationManagerStepsOnlyAgentStepsDecide) {
  const std::string head =
      "AppUpdateDBForCHUpgrade: Parameters passed to the function: focus [Instance001], bFromInstaller [1]\n";
  services_.fail("CreateCLRFunctions", "no assembly");
  services_.fail("UpgradeTransportModeForVMWare", "no vm");
  procedureReply({procedureRow("7")});
  ASSERT_EQ(db_->AppMgrUpdateDBForCHUpgrade(14, 0, kFocus, true), 1u) << lastError();
  EXPECT_EQ(lastError(), head +
                             "Unable to Add CLR functions: no assembly\n"
                             "Failed Upgrade Transport Mode for VMWare: no vm\n"
                             "Chk point: Passed UpgradeAgentsConfiguredOnClient.\n"
                             "Chk point: Passed UpgradeVirtualServerAgentOnCH.\n"
                             "AppUpdateDBForCHUpgrade completed successfully.\n");
  EXPECT_EQ(services_.calls,
            (Calls{"CreateCLRFunctions", "UpgradeTransportModeForVMWare", "UpgradeVirtualServerAgentOnCH"}));

  services_.failures.clear();
  services_.calls.clear();
  procedureReply({procedureRow("0", "agent busy")});
  EXPECT_EQ(db_->AppMgrUpdateDBForCHUpgrade(14, 0, kFocus, true), 0u);
  EXPECT_EQ(lastError(), head +
                             "Chk point: Passed CreateCLRFunctions.\n"
                             "Chk point: success on Upgrade Transport Mode for VMWare\n"
                             "UpgradeAgentsConfiguredOnCH failed"
                             "AppIfaUpgrade_UninstalledClients returned error[agent busy]");
  EXPECT_EQ(services_.calls, (Calls{"CreateCLRFunctions", "UpgradeTransportModeForVMWare"}));

  services_.fail("UpgradeVirtualServerAgentOnCH", "agent down");
  procedureReply({procedureRow("7")});
  EXPECT_EQ(db_->AppMgrUpdateDBForCHUpgrade(14, 0, kFocus, false), 0u);
  const std::string tail =
      "Chk point: Passed UpgradeAgentsConfiguredOnClient.\nUpgradeVirtualServerAgentOnCH failed\n";
  ASSERT_GE(lastError().size(), tail.size());
  EXPECT_EQ(lastError().substr(lastError().size() - tail.size()), tail);
}

TEST_F(ServerUpgradeTest, VersionStringsUseTheCurrentDatabase) {
  db_.reset();
  std::string error;
  EXPECT_EQ(addClientSPVersionString(error), 0) << "no product database open in the process";
  EXPECT_EQ(error, "Failed to update the version string for the Clients in CH DB.");
  EXPECT_TRUE(services_.calls.empty());

  db_.reset(new DBQueries("SQL Server", "srv", "", "Corehub", "sa", "pw"));
  ASSERT_EQ(db_->getDBSQLConnection(), 1u);
  error.clear();
  EXPECT_EQ(addClientSPVersionString(error), 1);
  EXPECT_EQ(error, "");
  ASSERT_EQ(services_.databases.size(), 1u);
  EXPECT_EQ(services_.databases[0], db_.get());

  services_.fail("UpdateVersionString", "script missing");
  EXPECT_EQ(addClientSPVersionString(error), 0);
  EXPECT_EQ(error, "Failed to update the version string for the Clients in CH DB.");
}

}  // namespace
