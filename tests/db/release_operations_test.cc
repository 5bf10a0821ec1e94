// DBQueries release and catalogue operations over the scripted connection.
#include <gtest/gtest.h>

#include "db/db_queries.h"
#include "support/env_override.h"
#include "support/recording_product_services.h"
#include "support/registry_sandbox.h"
#include "support/scripted_connection.h"
#include "support/scripted_database.h"
#include "support/temp_dir.h"

namespace {

const char kProduct[] = "SET XACT_ABORT ON\nGO\nSET QUOTED_IDENTIFIER ON\nGO\n";

class ReleaseTest : public ztest::ScriptedDatabaseTest {};

TEST_F(ReleaseTest, ReleaseCheckCodes) {
  const std::string path = dir_.write("rel.sql", "SELECT dbo.releaseCheck()");
  const struct {
    int code;
    const char* message;
  } cases[] = {{-1, "Failed to check the software release. SimAllQuasarRel table missing."},
               {-2, "Failed to check the software release."},
               {1, "Please upgrade Corehub Database before upgrading VAZ."},
               {7, "Failed to check the software release. Error code returned: 7."}};
  for (const auto& c : cases) {
    script().reply().returnCode = c.code;
    EXPECT_EQ(db_.checkCurrentDBRelease(path), 0u) << c.code;
    EXPECT_EQ(error(), c.message);
  }
  script().reply().returnCode = 0;
  EXPECT_EQ(db_.checkCurrentDBRelease(path), 1u);
  EXPECT_EQ(texts().back(), std::string(kProduct) + "SELECT dbo.releaseCheck()");

  script().failNext("Invalid object name 'SimAllQuasarRel'.");
  EXPECT_EQ(db_.checkCurrentDBRelease(path), 0u);
  EXPECT_EQ(error(), "Invalid object name 'SimAllQuasarRel'.");
}

TEST_F(ReleaseTest, FleetExplorerCheckKeepsTheConnectionTextOnFailure) {
  const std::string path = dir_.write("fe.sql", "SELECT 1");
  script().reply().returnCode = 3;
  EXPECT_EQ(db_.isFleetExplorerInstalled(path), 0u);
  EXPECT_EQ(error(), "Fleet Explorer is not installed.");
  script().failNext("Timeout expired.");
  EXPECT_EQ(db_.isFleetExplorerInstalled(path), 0u);
  EXPECT_EQ(error(), "Timeout expired.");
}

TEST_F(ReleaseTest, VersionRecordsCarryTheBuildTag) {
  const std::string path = dir_.write("ver.sql", "UPDATE v SET version = '%s'");
  ASSERT_EQ(db_.upgradeFEVersion(path), 1u);
  ASSERT_EQ(db_.upgradeCHVersion(path), 1u);
  ASSERT_EQ(db_.upgradeSignetAgentVersion(path), 1u);
  ASSERT_EQ(db_.upgradeSGNTVersion(path), 1u);
  const std::string base = std::string(kProduct) + "UPDATE v SET version = '0(BUILD80)'";
  EXPECT_EQ(texts(),
            (std::vector<std::string>{base, base, base,
                                      std::string(kProduct) + "UPDATE v SET version = '11.0.0(BUILD80)'"}));
}

TEST_F(ReleaseTest, PercentSignsFollowTheMembersFormatting) {
  const std::string raw = "DELETE FROM jobs WHERE name LIKE 'tmp%'";
  const std::string unformatted = dir_.write("u.sql", raw);
  ASSERT_EQ(db_.SortPackagesBasedOnDependency(unformatted), 1u);
  ASSERT_EQ(db_.updateJobRestarts(unformatted), 1u);
  ASSERT_EQ(db_.updateSimTables(unformatted), 1u);
  for (const std::string& text : texts()) EXPECT_EQ(text, std::string(kProduct) + raw);

  const std::string formatted = dir_.write("f.sql", "UPDATE v SET version = '%s' WHERE name LIKE 'tmp%%'");
  ASSERT_EQ(db_.upgradeFEVersion(formatted), 1u);
  EXPECT_EQ(texts().back(),
            std::string(kProduct) + "UPDATE v SET version = '0(BUILD80)' WHERE name LIKE 'tmp%'");
  // The same script undoubled holds a stray conversion: refused, nothing sent.
  const std::size_t sent = texts().size();
  EXPECT_EQ(db_.upgradeFEVersion(unformatted), 0u);
  EXPECT_EQ(error(), "Script [" + unformatted + "] does not match the operation's arguments.");
  EXPECT_EQ(texts().size(), sent);
}

TEST_F(ReleaseTest, CountsHandBackTheScriptsInteger) {
  const std::string path = dir_.write("n.sql", "SELECT COUNT(*) FROM clients WHERE state = %d");
  int result = -5;
  script().reply().returnCode = 7;
  EXPECT_EQ(db_.getScriptRelease(path, 42, result), 1u);
  EXPECT_EQ(result, 7);
  EXPECT_EQ(texts()[0], std::string(kProduct) + "SELECT COUNT(*) FROM clients WHERE state = 42");
}

TEST_F(ReleaseTest, ListMembersSetTheirOwnFailureText) {
  const std::string path = dir_.write("list.sql", "EXEC addList '%s'");
  using Member = unsigned int (DBQueries::*)(std::string, std::string);
  const struct {
    Member member;
    const char* failure;
  } members[] = {
      {&DBQueries::addRegistryStaticList, "Failed to add registry static list."},
      {&DBQueries::PopulatePkgDependenciesForAllOS, "Failed to populate package dependencies for all OS."},
      {&DBQueries::addAutomationStaticList, "Failed to add automation static list."}};
  for (const auto& m : members) {
    script().reply().returnCode = 1;
    EXPECT_EQ((db_.*m.member)(path, "Linux"), 0u);
    EXPECT_EQ(error(), m.failure);
    script().failNext("Connection reset.");
    EXPECT_EQ((db_.*m.member)(path, "Linux"), 0u);
    EXPECT_EQ(error(), m.failure);
    EXPECT_EQ((db_.*m.member)(path, "Linux"), 1u);
    EXPECT_EQ(texts().back(), std::string(kProduct) + "EXEC addList 'Linux'");
  }
}

TEST_F(ReleaseTest, EventMessagesGoToTheProductService) {
  ztest::RecordingProductServices services;
  ztest::ScopedProductServices installed(services);
  services.fail("simPopulateQuasarEventMessages", "ignored");

  EXPECT_EQ(db_.populateQuasarEventMessages("/opt/events.sql"), 1u);
  const std::string longPath(5000, 'p');
  EXPECT_EQ(db_.populateQuasarEventMessages(longPath.c_str()), 1u);
  EXPECT_EQ(db_.populateQuasarEventMessages(nullptr), 1u);

  ASSERT_EQ(services.paths.size(), 3u);
  EXPECT_EQ(services.paths[0], "/opt/events.sql");
  EXPECT_EQ(services.paths[1], longPath.substr(0, 4095));
  EXPECT_EQ(services.paths[2], "");
  EXPECT_EQ(services.databases[0], &db_);
}

}  // namespace
