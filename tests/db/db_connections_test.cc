// DBQueries connections: credential completion from the registry, connection strings (masked
// wherever they reach a message), server types and the lazily opened connections.
#include <gtest/gtest.h>

#include "db/db_queries.h"
#include "platform/crypto/rk_password.h"
#include "platform/debuglog/ev_debug.h"
#include "platform/registry/rk_platform_info.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"

namespace {

using zarezodud::RKPlatformInfo;

class ConnectionsTest : public ::testing::Test {
 protected:
  ConnectionsTest() : driver_("ZAREZODUD_ODBC_DRIVER", "Test Driver") {}

  void putRegistry(const std::string& name, const std::string& value) {
    RKPlatformInfo registry;
    registry.setFocus("ControlSet001");
    ASSERT_TRUE(registry.setString("Database", name.c_str(), value));
  }
  void putAuthType(unsigned long long type) {
    RKPlatformInfo registry;
    registry.setFocus("ControlSet001");
    ASSERT_TRUE(registry.setNumber("Database", "nSQLAuthType", type));
  }
  void putCredential(const std::string& plain) {
    std::string error;
    putRegistry("sSQLUser", zarezodud::RKPassword::encrypt(plain, &error));
    ASSERT_EQ(error, "");
  }
  DBQueries registryForm(const std::string& dbName = "Corehub") {
    return DBQueries("SQL Server", "Base", "ControlSet001", "Database", "sDSN", "sSQLInstance", "sSQLUser",
                     dbName);
  }
  std::string app() const { return ";APP=" + zarezodud::EvDebug::getProcessName() + ";"; }

  ztest::RegistrySandbox registry_;
  ztest::EnvOverride driver_;
  ztest::ScopedScriptedConnections fake_;
};

TEST_F(ConnectionsTest, ConnectionStringPieces) {
  EXPECT_EQ(getSQLServerConnectionString("srv\\inst", "db", "u", "p", true, false, false),
            "Driver={Test Driver};Server=srv\\inst;Database=db;UID=u;PWD=p;MARS_Connection=yes;AnsiNPW=Yes" +
                app());
  EXPECT_EQ(getSQLServerConnectionString("srv", "db", "u", "p", false, false, true),
            "Server=srv;Database=db;UID=u;PWD=*****;MARS_Connection=yes;AnsiNPW=Yes" + app());
  EXPECT_EQ(getSQLServerConnectionString("srv", "db", "u", "p", false, true, false),
            "Server=srv;Database=db;Trusted_Connection=Yes;MARS_Connection=yes;AnsiNPW=Yes" + app());
}

TEST_F(ConnectionsTest, ValuesWithConnectionStringSyntaxAreBraced) {
  EXPECT_EQ(getSQLServerConnectionString("srv", "Corehub;Database=OtherDB", "sa;Database=ViaUser",
                                         "zz;Database=InjectedDB", true, false, false),
            "Driver={Test Driver};Server=srv;Database={Corehub;Database=OtherDB};UID={sa;Database=ViaUser};"
            "PWD={zz;Database=InjectedDB};MARS_Connection=yes;AnsiNPW=Yes" +
                app());
  EXPECT_EQ(getSQLServerConnectionString("srv", "db", "u", "a}b", false, false, false),
            "Server=srv;Database=db;UID=u;PWD={a}}b};MARS_Connection=yes;AnsiNPW=Yes" + app());
}

TEST_F(ConnectionsTest, ValuesNoConnectionStringCanCarryAreRefusedWithoutOpening) {
  const std::string secret = std::string("pa\nss", 5);
  DBQueries db("SQL Server", "srv", "", "Corehub", "sa", secret);
  EXPECT_EQ(db.getDBSQLConnection(), 0u);
  EXPECT_EQ(std::string(db.getLastError()),
            "Failed to get database connection: the password holds a NUL or line-break character, which a "
            "connection string cannot carry.");
  std::string out;
  EXPECT_EQ(db.getConnectionString(out), 0u);
  EXPECT_EQ(out, "");
  DBQueries nulName("SQL Server", "srv", "", std::string("Core\0hub", 8), "sa", "pw");
  EXPECT_EQ(nulName.getDBSQLConnection(), 0u);
  EXPECT_NE(std::string(nulName.getLastError()).find("the database name holds"), std::string::npos);
  EXPECT_TRUE(fake_.script().connectionStrings.empty()) << "nothing was opened";
}

TEST_F(ConnectionsTest, DirectFormConnectsWithSQLAuthenticationWhenAuthTypeUnreadable) {
  DBQueries db("sql server", "srv", "", "Corehub", "sa", "Secret1!");
  ASSERT_EQ(db.getDBSQLConnection(), 1u);
  ASSERT_EQ(fake_.script().connectionStrings.size(), 1u);
  EXPECT_EQ(
      fake_.script().connectionStrings[0],
      "Driver={Test Driver};Server=srv;Database=Corehub;UID=sa;PWD=Secret1!;MARS_Connection=yes;AnsiNPW=Yes" +
          app());
  EXPECT_EQ(fake_.script().connectAttempts, 6);
  EXPECT_EQ(db.getPlainConnectionString(),
            "Server=srv;Database=Corehub;UID=sa;PWD=Secret1!;MARS_Connection=yes;AnsiNPW=Yes" + app());
  EXPECT_TRUE(db.hasDBConnection());
}

TEST_F(ConnectionsTest, SecondOpenDeletesTheFirstConnection) {
  DBQueries db("SQL Server", "srv", "", "Corehub", "sa", "pw");
  ASSERT_EQ(db.getDBSQLConnection(), 1u);
  ASSERT_EQ(db.getDBSQLConnection(), 1u);
  EXPECT_EQ(fake_.script().made, 2);
  EXPECT_EQ(fake_.script().destroyed, 1);
}

TEST_F(ConnectionsTest, MasterConnectionUsesMasterDatabase) {
  DBQueries db("SQL Server", "srv", "", "Corehub", "sa", "pw");
  ASSERT_EQ(db.getMasterDBSQLConnection(), 1u);
  EXPECT_NE(fake_.script().connectionStrings.at(0).find(";Database=MASTER;"), std::string::npos);
  EXPECT_EQ(db.getPlainConnectionString(), "");
  EXPECT_TRUE(db.hasMasterConnection());
  EXPECT_FALSE(db.hasDBConnection());
}

TEST_F(ConnectionsTest, FailedOpenReportsMaskedStringAndAuthenticationType) {
  fake_.script().openResult = 1;
  DBQueries sql("SQL Server", "srv", "", "Corehub", "sa", "TopSecret");
  EXPECT_EQ(sql.getDBSQLConnection(), 0u);
  EXPECT_EQ(std::string(sql.getLastError()),
            "Failed to get database connection using connection string [Driver={Test Driver};Server=srv;"
            "Database=Corehub;UID=sa;PWD=*****;MARS_Connection=yes;AnsiNPW=Yes" +
                app() + "], authentication type: [SQL]");
  EXPECT_FALSE(sql.hasDBConnection());
  EXPECT_EQ(fake_.script().destroyed, 1);

  putAuthType(1);
  DBQueries trusted("SQL Server", "srv", "", "Corehub", "sa", "TopSecret");
  trusted.setDBRegistryPath("Base", "ControlSet001", "Database");
  EXPECT_EQ(trusted.getDBSQLConnection(), 0u);
  const std::string error = trusted.getLastError();
  EXPECT_NE(error.find(";Trusted_Connection=Yes"), std::string::npos) << error;
  EXPECT_EQ(error.find("UID="), std::string::npos) << error;
  EXPECT_NE(error.find("authentication type: [windows]"), std::string::npos);
  EXPECT_EQ(error.find("TopSecret"), std::string::npos);
}

TEST_F(ConnectionsTest, ServerTypeMustBeSQLServer) {
  DBQueries db("Oracle", "srv", "", "Corehub", "sa", "pw");
  EXPECT_EQ(db.getDBSQLConnection(), 0u);
  EXPECT_STREQ(db.getLastError(),
               "Failed to get database connection. Non-Supported Database Server [Oracle].");
  std::string out;
  EXPECT_EQ(db.getConnectionString(out), 0u);
  EXPECT_STREQ(db.getLastError(),
               "Failed to get database connection string. Non-Supported Database Server [Oracle].");
  EXPECT_EQ(fake_.script().connectionStrings.size(), 0u);
}

TEST_F(ConnectionsTest, RegistryFormWithoutDatabaseNameFailsBeforeReadingTheRegistry) {
  DBQueries db = registryForm("");
  EXPECT_EQ(db.getDBSQLConnection(), 0u);
  EXPECT_STREQ(db.getLastError(),
               "Missing Information to connect to the database. RegistryBase : [Base], ControlSetName : "
               "[ControlSet001], DBAccessRegistryPath : [Database], SQLInstanceRegistryKey : [sSQLInstance], "
               "SQLUserRegistryKey : [sSQLUser], DBName : []");
  EXPECT_EQ(fake_.script().destroyed, 1);
}

TEST_F(ConnectionsTest, RegistryFormCompletesCredentialsFromTheRegistry) {
  putCredential("05alicePa55word");
  putRegistry("sSQLInstance", "db-host\\SQL1");
  putRegistry("sDSN", "CorehubDSN");
  DBQueries db = registryForm();
  ASSERT_EQ(db.getDBSQLConnection(), 1u) << db.getLastError();
  EXPECT_NE(fake_.script().connectionStrings.at(0).find(
                "Server=db-host\\SQL1;Database=Corehub;UID=alice;PWD=Pa55word;"),
            std::string::npos);
  std::string server, user, password;
  unsigned int authType = 9;
  ASSERT_EQ(db.getConnectionInfo(server, user, password, authType), 1u);
  EXPECT_EQ(server + "|" + user + "|" + password, "db-host\\SQL1|alice|Pa55word");
  EXPECT_EQ(authType, 0u);
  EXPECT_NE(std::string(db.getLastError()).find("Error getting [nSQLAuthType] from registry."),
            std::string::npos);
}

TEST_F(ConnectionsTest, CredentialWithoutValidLengthPrefixIsRefused) {
  for (const std::string& plain : {std::string("00alice"), std::string("xyalice")}) {
    putCredential(plain);
    DBQueries db = registryForm();
    EXPECT_EQ(db.getDBSQLConnection(), 0u);
    EXPECT_STREQ(db.getLastError(), "Failed to decrypt the username and password");
  }
  // A tampered text decrypts to nothing, which has no prefix either.
  putRegistry("sSQLUser", "v1:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA");
  DBQueries db = registryForm();
  EXPECT_EQ(db.getDBSQLConnection(), 0u);
  EXPECT_STREQ(db.getLastError(), "Failed to decrypt the username and password");
}

TEST_F(ConnectionsTest, MissingRegistryValueNamesTheValue) {
  DBQueries db = registryForm();
  EXPECT_EQ(db.getDBSQLConnection(), 0u);
  EXPECT_EQ(std::string(db.getLastError()).rfind("Error getting [sSQLUser] from registry. Error:[", 0), 0u)
      << db.getLastError();
}

TEST_F(ConnectionsTest, ConnectionInfoNeedsNoDatabaseName) {
  DBQueries incomplete("SQL Server", "", "", "", "", "");
  std::string server, user, password;
  unsigned int authType = 0;
  EXPECT_EQ(incomplete.getConnectionInfo(server, user, password, authType), 0u);
  EXPECT_STREQ(incomplete.getLastError(),
               "Missing Information to get connection info. RegistryBase : [], ControlSetName : [], "
               "DBAccessRegistryPath : [], SQLInstanceRegistryKey : [], SQLUserRegistryKey : []");

  DBQueries direct("SQL Server", "srv", "", "", "sa", "pw");
  ASSERT_EQ(direct.getConnectionInfo(server, user, password, authType), 1u);
  EXPECT_EQ(server + "|" + user + "|" + password, "srv|sa|pw");
  EXPECT_STREQ(direct.getLastError(),
               "Missing Information to get authentication type. RegistryBase : [], ControlSetName : [], "
               "DBAccessRegistryPath : []");
}

TEST(ReadRegistryTest, NeitherDestinationIsAnInvalidArgument) {
  std::string error;
  EXPECT_EQ(readRegistry("", "", "Database", "x", nullptr, nullptr, nullptr, error), 0u);
  EXPECT_EQ(error, "Error: invalid argument.");
}

}  // namespace
