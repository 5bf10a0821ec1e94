// A private PostgreSQL 15 server for integration tests: initdb into a temporary directory,
// start on a free loopback port, stop and remove everything at the end. As root the server
// runs as the "postgres" user (PostgreSQL refuses to run as root).
//
// Not thread-safe; one object per test suite.
#ifndef ZAREZODUD_TESTS_SUPPORT_POSTGRES_SERVER_H
#define ZAREZODUD_TESTS_SUPPORT_POSTGRES_SERVER_H

#include <string>

namespace ztest {

class PostgresServer {
 public:
  PostgresServer() = default;
  // Stops the server and removes its directory.
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  // True when the server binaries are installed; otherwise false with what is missing.
  static bool installed(std::string& missing);

  // Creates and starts the server. False with a reason when it fails.
  bool start(std::string& reason);
  void stop();
  bool running() const { return running_; }

  int port() const { return port_; }
  // "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=<p>;Database=postgres;UID=zarezodud;PWD=<pw>;"
  std::string connectionString() const;
  // The password in connectionString() (the server trusts local connections; the password
  // only serves masking tests).
  static const char* password() { return "pg-Secret-42"; }

 private:
  // Runs a shell command, as the server's user when running as root; true on exit status 0.
  bool runAsServerUser(const std::string& command) const;

  std::string dir_;
  int port_ = 0;
  bool running_ = false;
  bool asPostgresUser_ = false;
};

}  // namespace ztest

#endif
