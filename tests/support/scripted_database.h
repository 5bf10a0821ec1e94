// ScriptedDatabaseTest: the fixture of the database-access unit tests. One DBQueries object for
// database "Corehub" on server "srv" whose connections are scripted (tests/support/
// scripted_connection.h: every text sent is recorded and every call answers as the test scripts
// it), over a private registry, with a named ODBC driver so that no real one is looked for, and a
// temporary directory for script files.
//
// Not thread-safe: one fixture per test, used from the test thread.
#ifndef ZAREZODUD_TESTS_SUPPORT_SCRIPTED_DATABASE_H
#define ZAREZODUD_TESTS_SUPPORT_SCRIPTED_DATABASE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/db_queries.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"
#include "support/temp_dir.h"

namespace ztest {

class ScriptedDatabaseTest : public ::testing::Test {
 protected:
  ScriptedDatabaseTest()
      : driver_("ZAREZODUD_ODBC_DRIVER", "Test Driver"),
        db_("SQL Server", "srv", "", "Corehub", "sa", "pw") {}

  ConnectionScript& script() { return fake_.script(); }
  // Every text the scripted connections were handed, in order.
  const std::vector<std::string>& texts() { return fake_.script().texts; }
  std::string error() const { return db_.getLastError(); }

  RegistrySandbox registry_;
  EnvOverride driver_;
  ScopedScriptedConnections fake_;
  TempDir dir_;
  DBQueries db_;
};

}  // namespace ztest

#endif
