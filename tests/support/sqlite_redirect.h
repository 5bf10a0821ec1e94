// Sends every connection that the code under test opens to one SQLite file through the SQLite3
// ODBC driver, whatever connection string it is handed, so that a DBQueries (which builds SQL
// Server connection strings) works on a real database in integration tests.
//
//   ztest::ScopedSqliteRedirect redirect(dir.file("db.sqlite"));
//   DBQueries db("SQL Server", "srv", "", "Corehub", "sa", "pw");   // opens the SQLite file
//
// Thread-safety: install and remove from the test thread.
#ifndef ZAREZODUD_TESTS_SUPPORT_SQLITE_REDIRECT_H
#define ZAREZODUD_TESTS_SUPPORT_SQLITE_REDIRECT_H

#include <string>

#include "platform/odbc_connection.h"

namespace ztest {

// An ODBC connection that opens file with the SQLite3 driver instead of the string it is given.
class SqliteRedirectConnection : public zarezodud::OdbcConnection {
 public:
  explicit SqliteRedirectConnection(std::string file) : file_(std::move(file)) {}
  int OpenSQLConnectionUsingConnectionString(const std::string& ignored, bool unused) override;

 private:
  std::string file_;
};

// Installs a connection factory that makes SqliteRedirectConnections for file while it lives,
// and restores the previous factory afterwards.
class ScopedSqliteRedirect {
 public:
  explicit ScopedSqliteRedirect(const std::string& file);
  ~ScopedSqliteRedirect();
  ScopedSqliteRedirect(const ScopedSqliteRedirect&) = delete;
  ScopedSqliteRedirect& operator=(const ScopedSqliteRedirect&) = delete;

  // "Driver={SQLite3};Database=<file>;"
  static std::string connectionString(const std::string& file);
  // True when the SQLite3 ODBC driver is installed.
  static bool driverInstalled();

 private:
  zarezodud::SQLConnectionFactory previous_;
};

}  // namespace ztest

#endif
