// Configuration, list and script files that are not what they seem: a NUL byte inside a line
// of the phase or product configuration, files saved with a UTF-8 byte-order mark, list files
// and scripts that are FIFOs or devices, and a chain of sub-modules tens of thousands of phases
// deep. Each is handled or refused with a message naming the file; nothing hangs, nothing is
// silently dropped.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "config/ini_file_reader.h"
#include "config/profile_store.h"
#include "engine/ini_file_processor.h"
#include "engine/list_file_reader.h"
#include "support/log_capture.h"
#include "support/phase_tree.h"

namespace {

using namespace std::string_literals;

constexpr char kBom[] = "\xEF\xBB\xBF";

// Runs body in a child process and waits for it up to limit; a child still running then is
// killed. Returns the child's exit code, -1 when it was killed or crashed. Nothing the body
// does (hang on a FIFO, overflow its stack) can take the test process with it.
template <class Body>
int runWithin(std::chrono::seconds limit, Body body) {
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class HostileFiles : public ::testing::Test {
 protected:
  // A phase P of two SQL scripts in d/l.lst.
  void addPhase(const std::string& prefix = "") {
    tree.addPhaseConfig(prefix +
                        "[P]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n");
    tree.addList("d", "l.lst", {"a.sql", "b.sql"});
  }
  ztest::PhaseTree tree;
  ztest::UpgradeLogCapture log;
};

TEST_F(HostileFiles, NulInAPhaseLineFailsValidationAndProcessingNamingTheLine) {
  // The NUL stands right after the list name: read up to it, the pre-command stage would
  // silently lose its list; read by C strings, the next line would be swallowed.
  tree.write("config/phases.ini",
             "[P]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\0x\nName=P\n"s);
  tree.addList("d", "l.lst", {"a.sql"});
  const std::string expected =
      "Phase configuration file [" + tree.configFile() + "] holds a NUL byte on line 4.";
  INIFileProcessor processor(tree.params(), 1);
  EXPECT_EQ(processor.validatePhase("P"), 0u);
  EXPECT_TRUE(log.contains(expected)) << log.text();
  EXPECT_EQ(processor.getTotalScriptsCount(), 0);

  int code = 0;
  EXPECT_EQ(processor.processPhase("P", code, nullptr), 0u);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(log.count(expected), 2) << "processing reports the line too";

  // Before the section header the same byte must not make the phase look missing.
  tree.write("config/phases.ini", "; note\0\n[P]\nDirectory=d\n"s);
  EXPECT_EQ(processor.validatePhase("P"), 0u);
  EXPECT_TRUE(
      log.contains("Phase configuration file [" + tree.configFile() + "] holds a NUL byte on line 1."));
  EXPECT_FALSE(log.contains("Missing Phase [P]."));
}

TEST_F(HostileFiles, NulInTheProductConfigurationFailsItsReadersNamingTheLine) {
  const std::string file = tree.write(
      "config/products.ini",
      "[SupportedProducts]\nProductName=Corehub\n[Corehub]\nDBName=Core\0hub\nDBServer=SQL Server\n"s);
  ZARezodudParams params = tree.params();
  params.setProductConfigFile(file);
  INIFileProcessor processor(params, 0);
  ProductInfo info;
  info.DBName = "untouched";
  EXPECT_EQ(processor.readProductInfo("Corehub", info), 0u);
  EXPECT_EQ(info.DBName, "") << "a value is never cut at the NUL";
  EXPECT_TRUE(log.contains("Product configuration file [" + file + "] holds a NUL byte on line 4."));
  std::string a = "a", b = "b", c = "c", d = "d", e = "e";
  EXPECT_EQ(processor.getDBConnectionInfo("Corehub", a, b, c, d, e), 0u);
  EXPECT_EQ(a, "a");
  // The list before the NUL still reads; a NUL before it fails the list.
  EXPECT_EQ(processor.getSupportedProductList(), std::vector<std::string>{"Corehub"});
  tree.write("config/products.ini", "\0\n[SupportedProducts]\nProductName=Corehub\n"s);
  EXPECT_TRUE(processor.getSupportedProductList().empty());
  EXPECT_TRUE(log.contains("Product configuration file [" + file + "] holds a NUL byte on line 1."));
  EXPECT_FALSE(log.contains("Supported Product Info is missing"));
}

TEST_F(HostileFiles, ByteOrderMarksAreSkippedInConfigurationAndListFiles) {
  addPhase(kBom);
  tree.write("config/d/l.lst", std::string(kBom) + "a.sql\nb.sql\n");
  const std::string products =
      tree.write("config/products.ini", std::string(kBom) +
                                            "[SupportedProducts]\nProductName=Corehub\n"
                                            "[Corehub]\nDBName=Core\n");
  ZARezodudParams params = tree.params();
  params.setProductConfigFile(products);
  INIFileProcessor processor(params, 1);
  EXPECT_EQ(processor.validatePhase("P"), 1u) << log.text();
  EXPECT_EQ(processor.getTotalScriptsCount(), 2);
  EXPECT_FALSE(log.contains("\xEF\xBB\xBF"));
  EXPECT_EQ(processor.getSupportedProductList(), std::vector<std::string>{"Corehub"});
  ProductInfo info;
  ASSERT_EQ(processor.readProductInfo("Corehub", info), 1u);
  EXPECT_EQ(info.DBName, "Core");
  // Only a mark at the very start is skipped: inside a line it is part of the text.
  std::vector<std::string> entries;
  const std::string middle = tree.write("config/d/m.lst", std::string("a.sql\n") + kBom + "b.sql\n");
  ASSERT_TRUE(zarezodud::ListFileReader::readAll(middle, entries));
  EXPECT_EQ(entries, (std::vector<std::string>{"a.sql", std::string(kBom) + "b.sql"}));
}

TEST_F(HostileFiles, FifoListFileIsRefusedWithoutWaiting) {
  addPhase();
  std::filesystem::remove(tree.path("config/d/l.lst"));
  ASSERT_EQ(::mkfifo(tree.path("config/d/l.lst").c_str(), 0600), 0);
  const ZARezodudParams params = tree.params();
  const int validated = runWithin(std::chrono::seconds(5), [&params] {
    INIFileProcessor processor(params, 0);
    return static_cast<int>(processor.validatePhase("P"));
  });
  EXPECT_EQ(validated, 0) << "validation must end at once and fail (-1: it hung)";
  EXPECT_TRUE(log.contains("List file [" + tree.path("config/d/l.lst") + "] is a FIFO, not a regular file."))
      << log.text();
  const std::string directory = tree.path("config/d");
  const int processed = runWithin(std::chrono::seconds(5), [&params, &directory] {
    INIFileProcessor processor(params, 0);
    int code = 0;
    RKZARezodud::ProcessPhase record;
    return static_cast<int>(processor.executeBatchList(directory, "l.lst", code, 1, 0, record));
  });
  EXPECT_EQ(processed, 0) << "a runner must not wait on it either (-1: it hung)";
}

TEST_F(HostileFiles, ScriptsThatAreFifosOrDevicesFailValidation) {
  addPhase();
  std::filesystem::remove(tree.path("config/d/a.sql"));
  std::filesystem::remove(tree.path("config/d/b.sql"));
  ASSERT_EQ(::mkfifo(tree.path("config/d/a.sql").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", tree.path("config/d/b.sql"));
  const ZARezodudParams params = tree.params();
  const int validated = runWithin(std::chrono::seconds(5), [&params] {
    INIFileProcessor processor(params, 0);
    return static_cast<int>(processor.validatePhase("P"));
  });
  EXPECT_EQ(validated, 0);
  EXPECT_TRUE(
      log.contains("Script File [" + tree.path("config/d/a.sql") + "] is a FIFO, not a regular file."));
  EXPECT_TRUE(log.contains("Script File [" + tree.path("config/d/b.sql") +
                           "] is a character device, not a regular file."));
}

TEST_F(HostileFiles, DeepSubModuleChainsValidateWithoutExhaustingTheStack) {
  // Each phase names the next one as its sub-module; every phase lists one script.
  constexpr int kDepth = 20000;
  tree.addList("d", "l.lst", {"a.sql"});
  std::string config;
  for (int i = 0; i < kDepth; ++i) {
    config += "[P" + std::to_string(i) +
              "]\nDirectory=d\nPreCommandType=SQL\nPreCommand-CurRelListFileName=l.lst\n";
    if (i + 1 < kDepth) config += "SubModuleSections=P" + std::to_string(i + 1) + "\n";
  }
  tree.addPhaseConfig(config);
  const ZARezodudParams params = tree.params();
  // The limit is a hang guard only: reading the file once per phase took minutes at this depth.
  const int counted = runWithin(std::chrono::seconds(60), [&params] {
    INIFileProcessor processor(params, 1);
    if (processor.validatePhase("P0") != 1) return 1;
    return processor.getTotalScriptsCount() == kDepth ? 0 : 2;
  });
  EXPECT_EQ(counted, 0) << "-1: crashed or hung";

  // A failure deep down is reported for every phase above it, innermost first.
  tree.addPhaseConfig("[Q0]\nSubModuleSections=Q1\n[Q1]\nSubModuleSections=Q2\n[Q2]\nSubModuleSections=Q0\n");
  INIFileProcessor processor(params, 0);
  EXPECT_EQ(processor.validatePhase("Q0"), 0u);
  EXPECT_TRUE(log.contains("Phase [Q0] is part of a cycle: [Q0 -> Q1 -> Q2 -> Q0]."));
  const std::string text = log.text();
  const size_t q0 = text.find("Validation of Phase [Q0] failed.");
  const size_t q2 = text.find("Validation of Phase [Q2] failed.");
  const size_t q1 = text.find("Validation of Phase [Q1] failed.");
  ASSERT_NE(q0, std::string::npos);
  ASSERT_NE(q2, std::string::npos);
  ASSERT_NE(q1, std::string::npos);
  EXPECT_LT(q0, q2);
  EXPECT_LT(q2, q1);
}

}  // namespace
