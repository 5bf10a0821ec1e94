// Sends every connection that the code under test opens to one fixed ODBC connection string
// (a SQLite file, a private PostgreSQL server), whatever string it is handed, so that a
// DBQueries (which builds SQL Server connection strings) works on a real database in
// integration tests.
//
//   ztest::ScopedConnectionRedirect redirect(ztest::sqliteConnectionString(dir.file("db.sqlite")));
//   DBQueries db("SQL Server", "srv", "", "Corehub", "sa", "pw");   // opens the SQLite file
//
// Thread-safety: install and remove from the test thread.
#ifndef ZAREZODUD_TESTS_SUPPORT_CONNECTION_REDIRECT_H
#define ZAREZODUD_TESTS_SUPPORT_CONNECTION_REDIRECT_H

#include <string>

#include "platform/odbc/odbc_connection.h"

namespace ztest {

// An ODBC connection that opens target instead of the string it is given.
class RedirectConnection : public zarezodud::OdbcConnection {
 public:
  explicit RedirectConnection(std::string target) : target_(std::move(target)) {}
  int OpenSQLConnectionUsingConnectionString(const std::string& ignored, bool unused) override;

 private:
  std::string target_;
};

// Installs a connection factory that makes RedirectConnections to target while it lives, and
// restores the previous factory afterwards.
class ScopedConnectionRedirect {
 public:
  explicit ScopedConnectionRedirect(const std::string& target);
  ~ScopedConnectionRedirect();
  ScopedConnectionRedirect(const ScopedConnectionRedirect&) = delete;
  ScopedConnectionRedirect& operator=(const ScopedConnectionRedirect&) = delete;

 private:
  zarezodud::SQLConnectionFactory previous_;
};

// "Driver={SQLite3};Database=<file>;"
std::string sqliteConnectionString(const std::string& file);
// True when the ODBC driver named driver is installed.
bool odbcDriverInstalled(const std::string& driver);

}  // namespace ztest

#endif
