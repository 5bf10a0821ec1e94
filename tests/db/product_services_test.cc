// The process-wide product services and their defaults: the script services run their named
// script from the service scripts directory on the product database; the certificate service
// creates the CA pair under the product directory.
#include "db/product_services.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "db/db_queries.h"
#include "db/default_product_services.h"
#include "platform/registry/registry_names.h"
#include "platform/registry/rk_platform_info.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"
#include "support/temp_dir.h"

namespace {

namespace names = zarezodud::registry_names;
const char kProduct[] = "SET XACT_ABORT ON\nGO\nSET QUOTED_IDENTIFIER ON\nGO\n";

class DefaultServicesTest : public ::testing::Test {
 protected:
  DefaultServicesTest()
      : driver_("ZAREZODUD_ODBC_DRIVER", "Test Driver"),
        db_("SQL Server", "srv", "", "Corehub", "sa", "pw") {}

  void setScriptsDirectory(const std::string& dir) {
    zarezodud::RKPlatformInfo registry;
    ASSERT_TRUE(registry.setString(names::kProductKey, names::kServiceScriptsDirectoryValue, dir));
  }

  ztest::RegistrySandbox registry_;
  ztest::EnvOverride driver_;
  ztest::ScopedScriptedConnections fake_;
  ztest::TempDir scripts_;
  zarezodud::DefaultProductServices services_;
  DBQueries db_;
};

// Each script service, called through the interface, with its script's name.
struct ScriptService {
  const char* script;
  std::function<bool(zarezodud::ProductServices&, DBQueries&, std::string&)> call;
};

const ScriptService kScriptServices[] = {
    {"PopulateActivity.sql", [](auto& s, auto& db, auto& e) { return s.populateServer(db, e); }},
    {"UpdateVersionString.sql",
     [](auto& s, auto& db, auto& e) { return s.UpdateVersionString(db, 0, e) == 0; }},
    {"CreateCLRFunctions.sql",
     [](auto& s, auto& db, auto& e) { return s.CreateCLRFunctions(db, e, 0) == 0; }},
    {"UpgradeTransportModeForVMWare.sql",
     [](auto& s, auto& db, auto& e) { return s.UpgradeTransportModeForVMWare(db, e, 0) == 0; }},
    {"UpgradeVirtualServerAgentOnCH.sql",
     [](auto& s, auto& db, auto& e) { return s.UpgradeVirtualServerAgentOnCH(db, e); }},
};

TEST_F(DefaultServicesTest, ScriptServicesRunTheirNamedScript) {
  setScriptsDirectory(scripts_.path());
  for (const ScriptService& service : kScriptServices) {
    scripts_.write(service.script, std::string("EXEC step -- ") + service.script);
    std::string error;
    EXPECT_TRUE(service.call(services_, db_, error)) << service.script << ": " << error;
    EXPECT_EQ(fake_.script().texts.back(), std::string(kProduct) + "EXEC step -- " + service.script);
  }
  EXPECT_EQ(fake_.script().texts.size(), 5u);
}

TEST_F(DefaultServicesTest, ScriptServiceFailures) {
  std::string error;
  // No directory setting.
  EXPECT_FALSE(services_.populateServer(db_, error));
  EXPECT_NE(error.find("sServiceScriptsDirectory"), std::string::npos) << error;
  EXPECT_NE(error.find("PopulateActivity.sql"), std::string::npos) << error;

  // A missing script is named.
  setScriptsDirectory(scripts_.path());
  for (const ScriptService& service : kScriptServices) {
    error.clear();
    EXPECT_FALSE(service.call(services_, db_, error)) << service.script;
    EXPECT_EQ(error, "Service script [" + scripts_.file(service.script) + "] not found.");
  }
  EXPECT_EQ(fake_.script().made, 0);

  // A script that returns an error code.
  scripts_.write("CreateCLRFunctions.sql", "EXEC clr");
  fake_.script().reply().returnCode = 5;
  EXPECT_NE(services_.CreateCLRFunctions(db_, error, 0), 0);
  EXPECT_NE(error.find("ExitCode [5]"), std::string::npos) << error;
}

TEST_F(DefaultServicesTest, EventMessagesRunTheGivenFile) {
  const std::string path = scripts_.write("events.sql", "INSERT INTO events VALUES (1)");
  EXPECT_EQ(services_.simPopulateQuasarEventMessages(db_, path.c_str()), 0);
  EXPECT_EQ(fake_.script().texts.back(), std::string(kProduct) + "INSERT INTO events VALUES (1)");
  EXPECT_NE(services_.simPopulateQuasarEventMessages(db_, scripts_.file("none.sql").c_str()), 0);
  EXPECT_NE(services_.simPopulateQuasarEventMessages(db_, nullptr), 0);
  EXPECT_EQ(fake_.script().texts.size(), 1u);
}

TEST_F(DefaultServicesTest, CertificateServiceUsesTheProductDirectory) {
  std::string error;
  EXPECT_NE(services_.CreateCACertificate(14, error, 0), 0);
  EXPECT_NE(error.find("Product directory"), std::string::npos) << error;

  ztest::TempDir product;
  zarezodud::RKPlatformInfo registry;
  ASSERT_TRUE(registry.setString(names::kProductKey, names::kProductDirectoryValue, product.path()));
  error.clear();
  ASSERT_EQ(services_.CreateCACertificate(14, error, 0), 0) << error;
  struct stat info {};
  ASSERT_EQ(stat(product.file("certificates/ca.key").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  const std::string certificate = ztest::readFile(product.file("certificates/ca.crt"));
  EXPECT_EQ(certificate.rfind("-----BEGIN CERTIFICATE-----", 0), 0u);
  // A second call keeps the pair.
  ASSERT_EQ(services_.CreateCACertificate(14, error, 0), 0);
  EXPECT_EQ(ztest::readFile(product.file("certificates/ca.crt")), certificate);
}

}  // namespace
