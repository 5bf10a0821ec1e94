// The connection service with the FreeTDS driver, without a SQL Server: driver detection,
// a refused connection, a silent server (login timeout), and the protocol-version rule.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/odbc/odbc_connection.h"
#include "platform/odbc/odbc_driver_detection.h"
#include "support/env_override.h"

namespace zarezodud {
namespace {

// A loopback TCP socket bound to a free port; listening or not as asked. Closed on destruction.
class LoopbackSocket {
 public:
  explicit LoopbackSocket(bool listening) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      port_ = ntohs(addr.sin_port);
      if (listening) ::listen(fd_, 4);
    }
  }
  ~LoopbackSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class FreeTdsConnection : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<std::string> drivers = installedOdbcDrivers();
    if (std::find(drivers.begin(), drivers.end(), "FreeTDS") == drivers.end()) {
      GTEST_SKIP() << "ODBC driver FreeTDS (tdsodbc) is not registered with the driver manager";
    }
  }

  static std::string connectionString(int port) {
    return "Driver={FreeTDS};Server=127.0.0.1," + std::to_string(port) +
           ";Database=master;UID=sa;PWD=Very$ecret1;MARS_Connection=yes;AnsiNPW=Yes;APP=tests;";
  }

  ztest::EnvOverride noExtras_{"ZAREZODUD_ODBC_ATTRIBUTES"};
};

TEST_F(FreeTdsConnection, DetectionPicksAnInstalledSqlServerDriverUnlessOverridden) {
  {
    ztest::EnvOverride unset("ZAREZODUD_ODBC_DRIVER");
    const std::string chosen = RKSimpleDBConnObject::DetectSQLNativeClientDriverVersion();
    const std::vector<std::string> drivers = installedOdbcDrivers();
    EXPECT_NE(std::find(drivers.begin(), drivers.end(), chosen), drivers.end()) << chosen;
  }
  ztest::EnvOverride set("ZAREZODUD_ODBC_DRIVER", "My Driver 9");
  EXPECT_EQ(RKSimpleDBConnObject::DetectSQLNativeClientDriverVersion(), "My Driver 9");
}

TEST_F(FreeTdsConnection, RefusedConnectionGivesAMaskedErrorWithTheProtocolDefaults) {
  // Bound but never listening, and kept bound for the test, so connecting is refused and no
  // other process can take the port in the meantime.
  const LoopbackSocket refusing(false);
  const int port = refusing.port();
  ASSERT_NE(port, 0);
  ztest::EnvOverride extras("ZAREZODUD_ODBC_ATTRIBUTES", "Encrypt=no;PWD=AlsoSecret");
  OdbcConnection conn;
  conn.setNumConnectAttempts(2);
  conn.setConnectRetryPauseMs(10);
  EXPECT_NE(conn.OpenSQLConnectionUsingConnectionString(connectionString(port), false), 0);
  const std::string error = conn.getLastErrorStr();
  EXPECT_EQ(error.find("Very$ecret1"), std::string::npos) << error;
  EXPECT_EQ(error.find("AlsoSecret"), std::string::npos) << error;
  EXPECT_NE(error.find("PWD=*****"), std::string::npos) << error;
  EXPECT_NE(error.find("AnsiNPW=Yes;Encrypt=no;PWD=*****;APP=tests"), std::string::npos) << error;
  EXPECT_NE(error.find("TDS_Version=7.4"), std::string::npos) << error;
  EXPECT_NE(error.find("ClientCharset=UTF-8"), std::string::npos) << error;
  EXPECT_NE(error.find("attempt 2 of 2"), std::string::npos)
      << "a refused connection is tried again: " << error;
}

TEST_F(FreeTdsConnection, ExplicitProtocolVersionIsKept) {
  const LoopbackSocket refusing(false);
  const int port = refusing.port();
  ztest::EnvOverride extras("ZAREZODUD_ODBC_ATTRIBUTES", "TDS_Version=7.3;ClientCharset=ISO-8859-1");
  OdbcConnection conn;
  EXPECT_NE(conn.OpenSQLConnectionUsingConnectionString(connectionString(port), false), 0);
  const std::string error = conn.getLastErrorStr();
  EXPECT_NE(error.find("TDS_Version=7.3"), std::string::npos) << error;
  EXPECT_EQ(error.find("TDS_Version=7.4"), std::string::npos) << error;
  EXPECT_EQ(error.find("UTF-8"), std::string::npos) << error;
}

TEST_F(FreeTdsConnection, SilentServerEndsWithTheLoginTimeout) {
  LoopbackSocket silent(true);  // accepts (through the backlog) and never answers
  ASSERT_NE(silent.port(), 0);
  ztest::EnvOverride timeout("ZAREZODUD_LOGIN_TIMEOUT", "2");
  OdbcConnection conn;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NE(conn.OpenSQLConnectionUsingConnectionString(connectionString(silent.port()), false), 0);
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LE(seconds, 15) << conn.getLastErrorStr();
  EXPECT_EQ(conn.getLastErrorStr().find("Very$ecret1"), std::string::npos) << conn.getLastErrorStr();
}

}  // namespace
}  // namespace zarezodud
