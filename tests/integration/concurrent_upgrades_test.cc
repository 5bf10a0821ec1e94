// Two upgrades of two databases at once in one process, each processor with host settings of
// its own, through FreeTDS against the SQL Server protocol test peer. Each processor's
// connections must write the servers' messages to its own output file, so that every script
// result it reads back holds its own script's messages and nothing of the other upgrade's.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/ini_file_processor.h"
#include "platform/settings/host_settings.h"
#include "support/env_override.h"
#include "support/log_capture.h"
#include "support/phase_tree.h"
#include "support/registry_sandbox.h"
#include "support/tds_peer.h"

namespace {

constexpr int kScripts = 12;

struct Outcome {
  unsigned int succeeded = 0;
  int code = 0;
  std::vector<std::string> descriptions;
  std::vector<std::string> warnings;
};

// A phase of kScripts scripts for database name, each printing its own name and number, a
// warning with the database's name, and returning the warning code 101.
ZARezodudParams phaseFor(ztest::PhaseTree& tree, const std::string& name, const ztest::TdsPeer& peer) {
  std::string list;
  for (int i = 0; i < kScripts; ++i) {
    const std::string script = name + "_" + std::to_string(i) + ".sql";
    tree.write("config/d/" + script, "PRINT '###DESCRIPTION### " + name + " script " + std::to_string(i) +
                                         "'\nWAITFOR DELAY '00:00:00.020'\nPRINT '###WARNING### from " +
                                         name + "'\nSELECT 101\n");
    list += script + "\n";
  }
  tree.write("config/d/l.lst", list);
  tree.addPhaseConfig(
      "[Checks]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n"
      "PreCommand-CheckReturnValue=TRUE\nPreCommand-TerminateOnError=FALSE\n");
  const std::string products = tree.write(
      "config/products.ini", "[SupportedProducts]\nProductName=Corehub\n[Corehub]\nDBName=" + name + "\n");
  ZARezodudParams params = tree.params();
  params.setProductConfigFile(products);
  params.setProductName("Corehub");
  params.setDBServer("SQL Server");
  params.setSQLInstance("127.0.0.1," + std::to_string(peer.port()));
  params.setDBname(name);
  params.setUserId(peer.options().user);
  params.setPassword(peer.options().password);
  params.setPhaseName("PreUpgrade");
  params.setXmlOutput(2);
  return params;
}

TEST(ConcurrentUpgrades, TwoProcessorsWithTheirOwnOutputDirectoriesKeepTheirMessagesApart) {
  std::string missing;
  if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
  ztest::TdsPeer peer;
  std::string reason;
  ASSERT_TRUE(peer.start(ztest::TdsPeer::Options(), reason)) << reason;
  ztest::UpgradeLogCapture log;
  ztest::RegistrySandbox registry;
  ztest::EnvOverride driver("ZAREZODUD_ODBC_DRIVER", "FreeTDS");
  ztest::PhaseTree treeA, treeB;
  // The process-wide output directory would be shared by both: each processor gets its own.
  ztest::EnvOverride shared("ZAREZODUD_OUTPUT_DIR", treeA.path("shared-output"));
  const std::vector<std::string> names = {"Alpha", "Beta"};
  const ZARezodudParams params[2] = {phaseFor(treeA, names[0], peer), phaseFor(treeB, names[1], peer)};
  const std::string outputs[2] = {treeA.path("output"), treeB.path("output")};

  Outcome outcomes[2];
  std::vector<std::thread> runs;
  for (int i = 0; i < 2; ++i) {
    runs.emplace_back([&, i] {
      INIFileProcessor processor(params[i], 0);
      zarezodud::HostSettings own;
      own.outputDirectory = outputs[i];
      processor.setHostSettings(own);
      if (processor.validatePhase("Checks") != 1) return;
      outcomes[i].succeeded = processor.processPhase("Checks", outcomes[i].code, nullptr);
      auto scripts = processor.getUpgradePhase().scripts();
      for (std::size_t s = 0; s < scripts.size(); ++s) {
        outcomes[i].descriptions.push_back(scripts.at(s).getDescription());
        auto errors = scripts.at(s).errors();
        for (std::size_t e = 0; e < errors.size(); ++e)
          outcomes[i].warnings.push_back(errors.at(e).getMessage());
      }
    });
  }
  for (std::thread& run : runs) run.join();

  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(outcomes[i].succeeded, 1u) << log.text();
    EXPECT_EQ(outcomes[i].code, 101);
    ASSERT_EQ(outcomes[i].descriptions.size(), static_cast<std::size_t>(kScripts)) << log.text();
    for (int s = 0; s < kScripts; ++s) {
      EXPECT_EQ(outcomes[i].descriptions[s], names[i] + " script " + std::to_string(s));
    }
    ASSERT_EQ(outcomes[i].warnings.size(), static_cast<std::size_t>(kScripts));
    for (const std::string& warning : outcomes[i].warnings) EXPECT_EQ(warning, "from " + names[i]);
    EXPECT_TRUE(ztest::fileExists(outputs[i] + "/tempOutputFile.txt"));
  }
  EXPECT_FALSE(ztest::fileExists(treeA.path("shared-output/tempOutputFile.txt")))
      << "a processor used the process-wide output directory";
}

}  // namespace
