// Builds examples/host against an installed copy of this build (cmake --install into a
// temporary prefix, find_package(Zarezodud)) and runs it on a generated installation against
// the SQL Server protocol test peer: a phase fails on a broken script, the position record is
// saved, the script is mended and the resumed run continues at that script, not before it.
#include <gtest/gtest.h>

#include <string>

#include "support/command_runner.h"
#include "support/tds_peer.h"
#include "support/temp_dir.h"

namespace {

const char kProductConfig[] =
    "[SupportedProducts]\n"
    "ProductName = Corehub\n"
    "[Corehub]\n"
    "DBName = Corehub\n"
    "DBServer = SQL Server\n"
    "BaseRegistryPath = Base\n"
    "RegistryPathForDBAccess = Database\n"
    "RegistryNameForSQLInstance = sSQLInstance\n"
    "RegistryNameForSQLUser = sSQLUser\n";

const char kPhases[] =
    "[PreUpgrade]\n"
    "Name = Pre-upgrade checks\n"
    "Directory = Database/PreUpgrade\n"
    "PreCommandType = SQL\n"
    "PreCommand-CheckReturnValue = TRUE\n"
    "PreCommand-PreLastRelListFileName = PreUpgrade.lst\n"
    "PreCommand-LastRelListFileName = PreUpgrade.lst\n"
    "PreCommand-CurRelListFileName = PreUpgrade.lst\n";

// Runs program (a path, or a name looked up on the PATH) with args and extra environment.
ztest::CommandResult run(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env = {}) {
  ztest::CommandSpec invocation;
  invocation.program = "/usr/bin/env";
  invocation.args = {program};
  invocation.args.insert(invocation.args.end(), args.begin(), args.end());
  invocation.env = env;
  return ztest::runCommand(invocation);
}

std::string describe(const ztest::CommandResult& r) { return "stdout:\n" + r.out + "\nstderr:\n" + r.err; }

class HostExample : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
    if (!ztest::TdsPeer::onPath("cmake")) GTEST_SKIP() << "cmake is not on the PATH";
  }

  // Installs this build and builds the host against the installed package; the host's path.
  std::string buildHost() {
    const std::string prefix = dir_.file("prefix");
    ztest::CommandResult r = run("cmake", {"--install", ZAREZODUD_BINARY_DIR, "--prefix", prefix});
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    const std::string build = dir_.file("host-build");
    r = run("cmake", {"-S", std::string(ZAREZODUD_SOURCE_DIR) + "/examples/host", "-B", build,
                      "-DCMAKE_PREFIX_PATH=" + prefix, "-DCMAKE_BUILD_TYPE=Release"});
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    r = run("cmake", {"--build", build, "-j", "2"});
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    return build + "/zarezodud_host";
  }

  // The installation the host works on: configuration files and three pre-upgrade scripts.
  std::string writeInstallation() {
    dir_.write("inst/ProductConfig.ini", kProductConfig);
    dir_.write("inst/phases.ini", kPhases);
    dir_.write("inst/Database/Common/CommonSQLFiles.lst", "");
    dir_.write("inst/Database/Scripts/README.txt", "scripts directory\n");
    dir_.write("inst/Database/PreUpgrade/PreUpgrade.lst",
               "# checks, in order\n0001_describe.sql\n0002_repair.sql\n0003_space.sql\n");
    dir_.write("inst/Database/PreUpgrade/0001_describe.sql",
               "PRINT '###DESCRIPTION### Server version check'\nSELECT 0;\n");
    dir_.write("inst/Database/PreUpgrade/0002_repair.sql", "RAISERROR('repair table is damaged', 16, 1);\n");
    dir_.write("inst/Database/PreUpgrade/0003_space.sql",
               "PRINT '###DESCRIPTION### Free space check'\n"
               "PRINT '###WARNING### Only 12 MB free in the data files.'\n"
               "PRINT '###ADVICE### Grow the data files before upgrading.'\n"
               "SELECT 101;\n");
    dir_.write("inst/logs/.keep", "");
    return dir_.file("inst");
  }

  ztest::TempDir dir_;
};

TEST_F(HostExample, BuildsAgainstTheInstalledPackageRunsFailsAndResumesAtTheFailedScript) {
  const std::string host = buildHost();
  if (HasFailure()) return;
  const std::string inst = writeInstallation();
  const std::string recordFile = dir_.file("position.xml");

  ztest::TdsPeer peer;
  std::string reason;
  ASSERT_TRUE(peer.start(ztest::TdsPeer::Options(), reason)) << reason;
  const std::vector<std::pair<std::string, std::string>> env = {
      {"ZAREZODUD_HOST_SERVER", "127.0.0.1," + std::to_string(peer.port())},
      {"ZAREZODUD_HOST_USER", peer.options().user},
      {"ZAREZODUD_HOST_PASSWORD", peer.options().password},
      {"ZAREZODUD_ODBC_DRIVER", "FreeTDS"},
      {"ZAREZODUD_REGISTRY_DIR", dir_.file("registry")},
      {"ZAREZODUD_OUTPUT_DIR", dir_.file("out")},
  };

  ztest::CommandResult first = run(host, {"run", inst, recordFile}, env);
  ASSERT_EQ(first.exitCode, 2) << describe(first);
  EXPECT_NE(first.out.find("valid: 3 script(s)"), std::string::npos) << describe(first);
  EXPECT_NE(first.out.find("ran PreUpgrade/PreUpgrade.lst/0001_describe.sql code 0"), std::string::npos)
      << describe(first);
  EXPECT_NE(first.out.find("failed PreUpgrade/PreUpgrade.lst/0002_repair.sql"), std::string::npos)
      << describe(first);
  EXPECT_EQ(first.out.find("0003_space.sql"), std::string::npos) << "the phase must stop at the failure";
  EXPECT_NE(first.out.find("result 0002_repair [0002_repair]"), std::string::npos) << describe(first);
  EXPECT_NE(ztest::readFile(recordFile).find("0002_repair.sql"), std::string::npos);
  // The password never reaches the host's output or the logs.
  EXPECT_EQ(first.out.find(peer.options().password), std::string::npos);
  EXPECT_EQ(ztest::readFile(inst + "/logs/upgrade.log").find(peer.options().password), std::string::npos);

  dir_.write("inst/Database/PreUpgrade/0002_repair.sql", "PRINT 'repair table mended'\nSELECT 0;\n");
  ztest::CommandResult second = run(host, {"resume", inst, recordFile}, env);
  EXPECT_EQ(second.exitCode, 1) << describe(second);
  EXPECT_NE(second.out.find("resuming at PreUpgrade.lst/0002_repair.sql"), std::string::npos)
      << describe(second);
  EXPECT_EQ(second.out.find("0001_describe.sql"), std::string::npos)
      << "a resumed run must not repeat done scripts";
  EXPECT_NE(second.out.find("ran PreUpgrade/PreUpgrade.lst/0002_repair.sql code 0"), std::string::npos)
      << describe(second);
  EXPECT_NE(second.out.find("ran PreUpgrade/PreUpgrade.lst/0003_space.sql code 101"), std::string::npos)
      << describe(second);
  EXPECT_NE(second.out.find("result 0003_space [Free space check] code 101\n"
                            "  warning: Only 12 MB free in the data files.\n"
                            "  advice: Grow the data files before upgrading."),
            std::string::npos)
      << describe(second);
  EXPECT_NE(second.out.find("finished with code 101"), std::string::npos) << describe(second);
}

}  // namespace
