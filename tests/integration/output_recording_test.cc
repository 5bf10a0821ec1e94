// A script whose server messages cannot all be recorded (the output directory's disk is full)
// run through FreeTDS against the SQL Server protocol test peer: the connection service fails
// the script with "Script output could not be recorded: ...", and the script's result record
// says so, instead of passing a warning script off as an error without its messages (or a
// failed one as a success). A file-size limit in a child process stands in for the full disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "engine/ini_file_processor.h"
#include "support/env_override.h"
#include "support/log_capture.h"
#include "support/phase_tree.h"
#include "support/registry_sandbox.h"
#include "support/tds_peer.h"

namespace {

TEST(OutputRecording, LostServerMessagesFailTheScriptWithAClearResult) {
  std::string missing;
  if (!ztest::TdsPeer::available(missing)) GTEST_SKIP() << missing;
  ztest::TdsPeer peer;
  std::string reason;
  ASSERT_TRUE(peer.start(ztest::TdsPeer::Options(), reason)) << reason;
  ztest::UpgradeLogCapture log;  // the upgrade log is started before the limit applies
  ztest::RegistrySandbox registry;
  ztest::PhaseTree tree;
  ztest::EnvOverride output("ZAREZODUD_OUTPUT_DIR", tree.path("output"));
  ztest::EnvOverride driver("ZAREZODUD_ODBC_DRIVER", "FreeTDS");

  // About 48 KB of messages, a warning with advice at the end, and a warning return code.
  std::string script = "PRINT '###DESCRIPTION### Space check'\n";
  for (int i = 0; i < 400; ++i)
    script += "PRINT 'line " + std::to_string(i) + " " + std::string(100, 'm') + "'\n";
  script += "PRINT '###WARNING### space is low'\nPRINT '###ADVICE### grow the disk'\nSELECT 101\n";
  tree.write("config/d/space.sql", script);
  tree.write("config/d/l.lst", "space.sql\n");
  tree.addPhaseConfig(
      "[Checks]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n"
      "PreCommand-CheckReturnValue=TRUE\nPreCommand-TerminateOnError=FALSE\n");
  const std::string products = tree.write(
      "config/products.ini", "[SupportedProducts]\nProductName=Corehub\n[Corehub]\nDBName=Corehub\n");
  ZARezodudParams params = tree.params();
  params.setProductConfigFile(products);
  params.setProductName("Corehub");
  params.setDBServer("SQL Server");
  params.setSQLInstance("127.0.0.1," + std::to_string(peer.port()));
  params.setDBname("Corehub");
  params.setUserId(peer.options().user);
  params.setPassword(peer.options().password);
  params.setPhaseName("PreUpgrade");
  params.setXmlOutput(2);
  const std::string summary = tree.path("summary.txt");

  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    INIFileProcessor processor(params, 0);
    if (processor.validatePhase("Checks") != 1) ::_exit(3);
    // The summary is opened before the limit, which would otherwise cut it too.
    std::ofstream out(summary);
    struct rlimit limit = {16 * 1024, 16 * 1024};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(4);
    int code = 0;
    const unsigned int succeeded = processor.processPhase("Checks", code, nullptr);
    out << "succeeded=" << succeeded << "\ncode=" << code << "\n";
    auto scripts = processor.getUpgradePhase().scripts();
    out << "scripts=" << scripts.size() << "\n";
    if (scripts.size() == 1) {
      out << "description=" << scripts.at(0).getDescription() << "\n";
      auto errors = scripts.at(0).errors();
      for (std::size_t i = 0; i < errors.size(); ++i) {
        const std::string message = errors.at(i).getMessage();
        if (message.rfind("Script output could not be recorded: ", 0) == 0) {
          out << "recordingFailure=" << errors.at(i).getSeverity() << " " << message << "\n";
        }
      }
    }
    out.close();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << WEXITSTATUS(status) << log.text();
  const std::string result = ztest::readFile(summary);
  EXPECT_NE(result.find("succeeded=0\n"), std::string::npos) << result;
  EXPECT_NE(result.find("scripts=1\n"), std::string::npos) << result;
  // What was recorded before the disk filled is kept; the failure is its own entry, naming the
  // file and the reason.
  EXPECT_NE(result.find("description=Space check\n"), std::string::npos) << result;
  EXPECT_NE(result.find("recordingFailure=2 Script output could not be recorded: [" + tree.path("output") +
                        "/tempOutputFile.txt]: File too large"),
            std::string::npos)
      << result;
  EXPECT_TRUE(log.contains("Script output could not be recorded")) << log.text();
}

}  // namespace
