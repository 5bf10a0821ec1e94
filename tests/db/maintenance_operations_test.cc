// DBQueries maintenance operations over the scripted connection: the texts each one sends,
// on which connection, and the last-error texts of their failures.
#include <gtest/gtest.h>

#include <functional>

#include "db/db_queries.h"
#include "support/env_override.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"
#include "support/scripted_database.h"
#include "support/temp_dir.h"

namespace {

const char kProduct[] = "SET XACT_ABORT ON\nGO\nSET QUOTED_IDENTIFIER ON\nGO\n";
const char kMaster[] = "SET XACT_ABORT ON\nGO\n";

class MaintenanceTest : public ztest::ScriptedDatabaseTest {};

TEST_F(MaintenanceTest, ScriptOperationsFillTheirArgumentsOnTheRightConnection) {
  const std::string one = dir_.write("one.sql", "DBCC CHECKDB('%s')");
  const std::string two = dir_.write("two.sql", "BACKUP DATABASE [%s] TO DISK = '%s'");
  const std::string three = dir_.write("three.sql", "EXEC sp_addextendedproc '%s', '%s' -- %s");

  ASSERT_EQ(db_.checkDBConsistency(one, "Corehub"), 1u);
  ASSERT_EQ(db_.BackupDatabase(two, "Corehub", "/b/c.bak"), 1u);
  ASSERT_EQ(db_.createDBUserMappings(two, "user", "role"), 1u);
  EXPECT_FALSE(db_.hasMasterConnection());
  ASSERT_EQ(db_.addExtendedStoredProc(three, "xp_a", "a.dll", "note"), 1u);

  ASSERT_EQ(texts().size(), 4u);
  EXPECT_EQ(texts()[0], std::string(kProduct) + "DBCC CHECKDB('Corehub')");
  EXPECT_EQ(texts()[1], std::string(kProduct) + "BACKUP DATABASE [Corehub] TO DISK = '/b/c.bak'");
  EXPECT_EQ(texts()[2], std::string(kProduct) + "BACKUP DATABASE [user] TO DISK = 'role'");
  EXPECT_EQ(texts()[3], std::string(kMaster) + "EXEC sp_addextendedproc 'xp_a', 'a.dll' -- note");
  EXPECT_EQ(script().count("executeQueryForZARezodud"), 4);
  EXPECT_EQ(script().made, 2);
}

TEST_F(MaintenanceTest, MissingOrMismatchedScriptsSendNothing) {
  const std::string missing = dir_.file("absent.sql");
  const std::string hostile = dir_.write("hostile.sql", "SELECT '%s' %n %x");
  const std::string greedy = dir_.write("greedy.sql", "SELECT '%s', '%s', '%s', '%s'");
  const std::vector<std::function<unsigned int(const std::string&)>> operations = {
      [this](const std::string& p) { return db_.checkDBConsistency(p, "Corehub"); },
      [this](const std::string& p) { return db_.BackupDatabase(p, "a", "b"); },
      [this](const std::string& p) { return db_.createDBUserMappings(p, "a", "b"); },
      [this](const std::string& p) { return db_.validateDB(p, "Corehub"); },
      [this](const std::string& p) { return db_.addAllExtendedStoredProcsAndCreateCLRFunctions(p, "a"); },
      [this](const std::string& p) { return db_.createCLRFunctionsZI2(p, "a"); },
      [this](const std::string& p) { return db_.DropDatabase(p, "Other"); },
      [this](const std::string& p) { return db_.addExtendedStoredProc(p, "a", "b", "c"); },
  };
  for (std::size_t i = 0; i < operations.size(); ++i) {
    EXPECT_EQ(operations[i](missing), 0u) << i;
    EXPECT_EQ(error(), "Cannot open file [" + missing + "].") << i;
    EXPECT_EQ(operations[i](hostile), 0u) << i;
    EXPECT_EQ(error(), "Script [" + hostile + "] does not match the operation's arguments.") << i;
    EXPECT_EQ(operations[i](greedy), 0u) << i;
    EXPECT_EQ(error(), "Script [" + greedy + "] does not match the operation's arguments.") << i;
  }
  EXPECT_EQ(script().made, 0);
  EXPECT_TRUE(texts().empty());
}

TEST_F(MaintenanceTest, ValidateNamesTheObjectsOwnDatabase) {
  const std::string path = dir_.write("v.sql", "EXEC validate '%s'");
  script().reply().returnCode = 1;
  EXPECT_EQ(db_.validateDB(path, "SomethingElse"), 0u);
  EXPECT_EQ(error(), "Failed to validate the database [Corehub].");
  EXPECT_EQ(texts()[0], std::string(kProduct) + "EXEC validate 'SomethingElse'");

  script().failNext("Login failed.");
  EXPECT_EQ(db_.validateDB(path, "Corehub"), 0u);
  EXPECT_EQ(error(), "Login failed.");
  EXPECT_EQ(db_.validateDB(path, "Corehub"), 1u);
}

TEST_F(MaintenanceTest, ClrFunctionRulesDifferBetweenTheTwoOperations) {
  const std::string path = dir_.write("clr.sql", "EXEC clr '%s'");
  // The combined operation ignores the script's integer...
  script().reply().returnCode = 9;
  EXPECT_EQ(db_.addAllExtendedStoredProcsAndCreateCLRFunctions(path, "v"), 1u);
  script().failNext("Assembly missing.");
  EXPECT_EQ(db_.addAllExtendedStoredProcsAndCreateCLRFunctions(path, "v"), 0u);
  EXPECT_EQ(error(), "Assembly missing.");
  // ...while the ZI2 one fails on it, and replaces the connection's text on failure.
  script().reply().returnCode = 9;
  EXPECT_EQ(db_.createCLRFunctionsZI2(path, "v"), 0u);
  EXPECT_EQ(error(), "Failed to create CLR Functions.");
  script().failNext("Assembly missing.");
  EXPECT_EQ(db_.createCLRFunctionsZI2(path, "v"), 0u);
  EXPECT_EQ(error(), "Failed to create CLR Functions.");
  EXPECT_EQ(db_.createCLRFunctionsZI2(path, "v"), 1u);
}

TEST_F(MaintenanceTest, DroppingOwnDatabaseClosesTheProductConnectionFirst) {
  const std::string path = dir_.write("drop.sql", "DROP DATABASE [%s]");
  ASSERT_EQ(db_.executeSQLQuery("SELECT 1", 0, "ON"), 1u);
  ASSERT_TRUE(db_.hasDBConnection());

  ASSERT_EQ(db_.DropDatabase(path, "OtherDB"), 1u);
  EXPECT_TRUE(db_.hasDBConnection());
  EXPECT_EQ(script().destroyed, 0);

  ASSERT_EQ(db_.DropDatabase(path, "COREHUB"), 1u);
  EXPECT_FALSE(db_.hasDBConnection());
  EXPECT_EQ(script().destroyed, 1);
  EXPECT_EQ(texts().back(), std::string(kMaster) + "DROP DATABASE [COREHUB]");

  // A later product call opens a new connection.
  ASSERT_EQ(db_.executeSQLQuery("SELECT 2", 0, "ON"), 1u);
  EXPECT_TRUE(db_.hasDBConnection());
  EXPECT_EQ(script().made, 3);
}

TEST_F(MaintenanceTest, CompatibilityLevelStatement) {
  ASSERT_EQ(db_.setSQLServerCompatibilityLevel("Corehub", 100), 1u);
  EXPECT_EQ(texts()[0], std::string(kProduct) + "sp_dbcmptlevel 'Corehub', 100");
  ASSERT_EQ(db_.setSQLServerCompatibilityLevel("x', 90; DROP DATABASE y; --", 100), 1u);
  EXPECT_EQ(texts()[1], std::string(kProduct) + "sp_dbcmptlevel 'x'', 90; DROP DATABASE y; --', 100");
  EXPECT_EQ(db_.setSQLServerCompatibilityLevel(std::string("a\0b", 3), 100), 0u);
  EXPECT_EQ(texts().size(), 2u);
}

class RestoreTest : public MaintenanceTest {
 protected:
  void listFiles(const std::vector<std::string>& names) {
    ztest::ScriptedReply& reply = script().reply();
    for (const std::string& name : names) reply.rows.push_back(ztest::ScriptedRow{name, std::string("D")});
  }
};

TEST_F(RestoreTest, MovesEveryListedFileInServerOrder) {
  listFiles({"Corehub_Data", "Corehub_Log"});
  ASSERT_EQ(db_.restoreDB("/backups/c.bak", "Corehub", "/var/opt/data/"), 1u) << error();
  ASSERT_EQ(texts().size(), 2u);
  EXPECT_EQ(texts()[0], std::string(kMaster) + "RESTORE FILELISTONLY FROM DISK = '/backups/c.bak'");
  EXPECT_EQ(texts()[1],
            std::string(kMaster) +
                "RESTORE DATABASE [Corehub] FROM DISK = '/backups/c.bak' WITH RECOVERY, REPLACE,  "
                "MOVE 'Corehub_Data' TO '/var/opt/data/Corehub_Data',  "
                "MOVE 'Corehub_Log' TO '/var/opt/data/Corehub_Log'");
  EXPECT_EQ(script().count("RKDBVar_addCol"), 1);
  EXPECT_EQ(script().count("RKDBVar_bind"), 1);
  EXPECT_EQ(script().count("getNextRow"), 3);
  EXPECT_EQ(script().count("closeCursor"), 1);
  EXPECT_FALSE(db_.hasDBConnection());
}

TEST_F(RestoreTest, NoFilesGiveTheHeadAlone) {
  ASSERT_EQ(db_.restoreDB("/b/c.bak", "Corehub", "/t"), 1u);
  EXPECT_EQ(texts()[1], std::string(kMaster) +
                            "RESTORE DATABASE [Corehub] FROM DISK = '/b/c.bak' WITH RECOVERY, REPLACE");
  EXPECT_EQ(script().count("closeCursor"), 1);
}

TEST_F(RestoreTest, Failures) {
  script().failNext("Cannot open backup device.");
  EXPECT_EQ(db_.restoreDB("/b/c.bak", "Corehub", "/t"), 0u);
  EXPECT_EQ(error(), "Cannot open backup device.");
  EXPECT_EQ(texts().size(), 1u);

  listFiles({"D"});
  script().failNext("Exclusive access could not be obtained.");
  EXPECT_EQ(db_.restoreDB("/b/c.bak", "Corehub", "/t"), 0u);
  EXPECT_EQ(
      error(),
      "Failed to execute Restore Command [RESTORE DATABASE [Corehub] FROM DISK = '/b/c.bak' WITH RECOVERY, "
      "REPLACE,  MOVE 'D' TO '/t/D'].");
}

TEST_F(RestoreTest, ValuesCannotBreakOutOfTheirPlace) {
  EXPECT_EQ(db_.restoreDB("/b/c.bak", "Corehub FROM DISK='/x' --", "/t"), 0u);
  EXPECT_NE(error().find("only letters, digits and _ @ # $ -"), std::string::npos) << error();
  EXPECT_EQ(script().made, 0);

  listFiles({"it's"});
  ASSERT_EQ(db_.restoreDB("/b/o'brien.bak", "Core_hub-2", "/t'x"), 1u);
  EXPECT_EQ(texts()[0], std::string(kMaster) + "RESTORE FILELISTONLY FROM DISK = '/b/o''brien.bak'");
  EXPECT_EQ(texts()[1],
            std::string(kMaster) +
                "RESTORE DATABASE [Core_hub-2] FROM DISK = '/b/o''brien.bak' WITH RECOVERY, REPLACE,  "
                "MOVE 'it''s' TO '/t''x/it''s'");
}

}  // namespace
