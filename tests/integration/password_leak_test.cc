// A known password sent through every road of DBQueries that touches it: direct and registry
// credentials, connections that open and fail through the scripted double, and connections
// refused by a closed loopback port through the FreeTDS driver, with the debug log at its
// most verbose. Afterwards no file under the test's directories (logs, output files,
// registry) and no last-error text may hold the password, plain, in base64, in hexadecimal or
// in UTF-16. The same holds for passwords made of the connection-string syntax, quotes and
// non-ASCII characters, which log in to the SQL Server protocol test peer and run scripts.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "db/db_queries.h"
#include "log/utility_logger.h"
#include "log/zarezodud_logger.h"
#include "platform/crypto/base64.h"
#include "platform/crypto/rk_password.h"
#include "platform/odbc/odbc_driver_detection.h"
#include "platform/registry/rk_platform_info.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"
#include "support/tds_peer.h"
#include "support/temp_dir.h"

namespace {

const std::string kPassword = "Zq7!Secret#Pw42";
const std::string kUser = "alice";

// A loopback port that nothing listens on: bound, never listening, and kept bound until the
// process ends, so a connection to it is refused and no other process can take it meanwhile.
int closedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  return port;
}

class PasswordLeakTest : public ::testing::Test {
 protected:
  PasswordLeakTest() {
    // The upgrade log is process-wide: start a fresh one here, at the highest level.
    ZARezodudLogger::resetForTesting();
    EXPECT_TRUE(ZARezodudLogger::init(logs_.file("upgrade.log")));
    previousUtilityLog_ = UtilityLogger::GetLogFileName();
    UtilityLogger::SetLogFileName(logs_.file("utility.log").c_str());
  }
  ~PasswordLeakTest() override {
    ZARezodudLogger::resetForTesting();
    UtilityLogger::SetLogFileName(previousUtilityLog_.c_str());
  }

  void putRegistry(const std::string& name, const std::string& value) {
    zarezodud::RKPlatformInfo registry;
    registry.setFocus("ControlSet001");
    ASSERT_TRUE(registry.setString("Database", name.c_str(), value));
  }
  void putCredentials(const std::string& instance) {
    std::string error;
    const std::string plain =
        (kUser.size() < 10 ? "0" : "") + std::to_string(kUser.size()) + kUser + kPassword;
    putRegistry("sSQLUser", zarezodud::RKPassword::encrypt(plain, &error));
    ASSERT_EQ(error, "");
    putRegistry("sSQLInstance", instance);
    putRegistry("sDSN", "CorehubDSN");
  }
  static DBQueries registryForm() {
    return DBQueries("SQL Server", "Base", "ControlSet001", "Database", "sDSN", "sSQLInstance", "sSQLUser",
                     "Corehub");
  }
  DBQueries directForm(const std::string& instance) const {
    return DBQueries("SQL Server", instance, "", "Corehub", kUser, kPassword);
  }

  // Runs the operations that open connections and execute text, keeping every error text.
  // Every failing open of a real driver costs its retries, so `all` false keeps to the two
  // connections.
  void exercise(DBQueries& db, bool all = true) {
    db.getDBSQLConnection();
    errors_.push_back(db.getLastError());
    db.getMasterDBSQLConnection();
    errors_.push_back(db.getLastError());
    if (!all) return;
    int code = 0;
    db.executeSQLFile(script_, code, 1, 1, "ON");
    errors_.push_back(db.getLastError());
    db.executeSQLQuery("SELECT 1", 1, "ON");
    errors_.push_back(db.getLastError());
    db.executeSQLQueryOnMasterDB("SELECT 2", 0);
    errors_.push_back(db.getLastError());
    std::string out;
    db.getConnectionString(out);
    errors_.push_back(db.getLastError());
  }

  // Every file below the test's directories whose content holds needle.
  std::vector<std::string> filesHolding(const std::string& needle) const {
    std::vector<std::string> found;
    for (const std::string& root : {logs_.path(), output_.path(), registry_.root()}) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        if (ztest::readFile(entry.path().string()).find(needle) != std::string::npos) {
          found.push_back(entry.path().string());
        }
      }
    }
    return found;
  }

  // The forms in which a password could be written out: plain, base64, hexadecimal (both
  // cases) and UTF-16 (little- and big-endian) of its bytes taken as Latin-1 and as UTF-8.
  static std::vector<std::string> leakForms(const std::string& password) {
    std::vector<std::string> forms = {
        password,
        zarezodud::encodeBase64(reinterpret_cast<const unsigned char*>(password.data()), password.size())};
    std::string lowerHex, upperHex, utf16le, utf16be;
    for (const char c : password) {
      const unsigned char u = static_cast<unsigned char>(c);
      static const char kLower[] = "0123456789abcdef";
      static const char kUpper[] = "0123456789ABCDEF";
      lowerHex += kLower[u >> 4];
      lowerHex += kLower[u & 15];
      upperHex += kUpper[u >> 4];
      upperHex += kUpper[u & 15];
      utf16le += c;
      utf16le += '\0';
      utf16be += '\0';
      utf16be += c;
    }
    forms.insert(forms.end(), {lowerHex, upperHex, utf16le, utf16be});
    // The ISO-8859-1 form that the FreeTDS driver is given.
    std::string latin1;
    for (std::size_t i = 0; i < password.size(); ++i) {
      const unsigned char u = static_cast<unsigned char>(password[i]);
      if ((u & 0xE0) == 0xC0 && i + 1 < password.size()) {
        latin1 += static_cast<char>(((u & 0x1F) << 6) | (static_cast<unsigned char>(password[++i]) & 0x3F));
      } else {
        latin1 += password[i];
      }
    }
    if (latin1 != password) forms.push_back(latin1);
    return forms;
  }

  void expectNoLeak(const std::string& password = kPassword) {
    // The searches must have something to look at: a connection string with the user's
    // credentials reached an error text (masked).
    EXPECT_TRUE(std::any_of(errors_.begin(), errors_.end(), [](const std::string& error) {
      return error.find("UID=" + kUser + ";PWD=*****;") != std::string::npos;
    }));
    for (const std::string& needle : leakForms(password)) {
      EXPECT_EQ(filesHolding(needle), std::vector<std::string>{}) << needle;
      for (const std::string& error : errors_) EXPECT_EQ(error.find(needle), std::string::npos) << error;
    }
  }

  ztest::TempDir logs_;
  ztest::TempDir output_;
  ztest::RegistrySandbox registry_;
  ztest::EnvOverride level_{"ZAREZODUD_DEBUG_LEVEL", "1000000"};
  ztest::EnvOverride outputDir_{"ZAREZODUD_OUTPUT_DIR", output_.path()};
  ztest::EnvOverride loginTimeout_{"ZAREZODUD_LOGIN_TIMEOUT", "3"};
  ztest::EnvOverride attributes_{"ZAREZODUD_ODBC_ATTRIBUTES"};
  std::string script_ = logs_.write("script.sql", "PRINT 'x'\nGO\nSELECT 3\n");
  std::string previousUtilityLog_;
  std::vector<std::string> errors_;
};

TEST_F(PasswordLeakTest, ScriptedConnectionsThatOpenAndFailKeepThePasswordOut) {
  ztest::EnvOverride driver("ZAREZODUD_ODBC_DRIVER", "Test Driver");
  putCredentials("db-host\\SQL1");
  {
    ztest::ScopedScriptedConnections fake;
    fake.script().reply().messages.push_back({"01000", 0, "Changed database context to 'Corehub'.", 1});
    fake.script().failNext("Incorrect syntax near 'x'.");
    DBQueries direct = directForm("db-host\\SQL1");
    exercise(direct);
    DBQueries fromRegistry = registryForm();
    exercise(fromRegistry);
    // The double did receive the password: the roads above really carried it.
    ASSERT_FALSE(fake.script().connectionStrings.empty());
    EXPECT_NE(fake.script().connectionStrings[0].find("PWD=" + kPassword), std::string::npos);
    // And the server's messages reached the output file that is searched below.
    EXPECT_FALSE(filesHolding("Changed database context").empty());
  }
  {
    ztest::ScopedScriptedConnections refusing;
    refusing.script().openResult = 1;
    refusing.script().openError = "Connection refused";
    DBQueries direct = directForm("db-host\\SQL1");
    exercise(direct);
    DBQueries fromRegistry = registryForm();
    exercise(fromRegistry);
  }
  expectNoLeak();
}

TEST_F(PasswordLeakTest, RefusedFreeTdsConnectionsKeepThePasswordOut) {
  const std::vector<std::string> drivers = zarezodud::installedOdbcDrivers();
  if (std::find(drivers.begin(), drivers.end(), "FreeTDS") == drivers.end()) {
    GTEST_SKIP() << "ODBC driver FreeTDS (tdsodbc) is not registered with the driver manager";
  }
  ztest::EnvOverride driver("ZAREZODUD_ODBC_DRIVER", "FreeTDS");
  const int port = closedLoopbackPort();
  ASSERT_NE(port, 0);
  const std::string instance = "127.0.0.1," + std::to_string(port);
  putCredentials(instance);
  DBQueries direct = directForm(instance);
  exercise(direct, false);
  DBQueries fromRegistry = registryForm();
  exercise(fromRegistry, false);
  // The refusal was reported, with the connection string masked.
  EXPECT_NE(errors_[0].find("PWD=*****"), std::string::npos) << errors_[0];
  expectNoLeak();
}

TEST_F(PasswordLeakTest, PasswordsWithConnectionStringSyntaxLogInAndNeverShow) {
  std::string missing;
  if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
  ztest::EnvOverride driver("ZAREZODUD_ODBC_DRIVER", "FreeTDS");
  for (const std::string password : {"Zq;7{x}'Pw-caf\xc3\xa9", "{a;b=c}}", "'; DROP--\xc3\xbc=}"}) {
    SCOPED_TRACE(password);
    ztest::TdsPeer peer;
    ztest::TdsPeer::Options options;
    options.user = kUser;
    options.password = password;
    std::string reason;
    ASSERT_TRUE(peer.start(options, reason)) << reason;
    const std::string instance = "127.0.0.1," + std::to_string(peer.port());
    DBQueries direct("SQL Server", instance, "", "Corehub", kUser, password);
    ASSERT_EQ(direct.getDBSQLConnection(), 1u) << direct.getLastError();
    ASSERT_EQ(direct.getMasterDBSQLConnection(), 1u) << direct.getLastError();
    exercise(direct);
    // A failing script's messages reach the output file and the logs.
    int code = 0;
    const std::string failing = logs_.write("failing.sql", "RAISERROR('no such thing', 16, 1)\n");
    EXPECT_EQ(direct.executeSQLFile(failing, code, 1, 1, "ON"), 0u);
    errors_.push_back(direct.getLastError());
    // A refused login names the masked connection string.
    DBQueries wrong("SQL Server", instance, "", "Corehub", kUser, password + "x");
    exercise(wrong, false);
    int logins = 0;
    for (const std::string& entry : peer.logEntries()) {
      if (ztest::jsonStringField(entry, "kind") == "login" &&
          entry.find("\"ok\": true") != std::string::npos) {
        ++logins;
      }
    }
    EXPECT_GE(logins, 2) << "the password logged in to the product database and to master";
    expectNoLeak(password);
    expectNoLeak(password + "x");
    errors_.clear();
  }
}

}  // namespace
