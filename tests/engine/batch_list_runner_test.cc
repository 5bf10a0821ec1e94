// Batch and executable list runners (entries walked and logged, nothing started) and
// executeExecutable with real commands.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/execute_executable.h"
#include "engine/ini_file_processor.h"
#include "support/log_capture.h"
#include "support/phase_tree.h"

namespace {

using Entries = std::vector<std::string>;

class BatchListTest : public ::testing::Test {
 protected:
  BatchListTest() : processor(tree.params(), 0) {}

  unsigned int batch(const std::string& list) {
    return processor.executeBatchList(tree.path("config/b"), list, rc, 1, 0, record);
  }
  std::string path(const std::string& entry) const { return tree.path("config/b/" + entry); }

  ztest::PhaseTree tree;
  ztest::UpgradeLogCapture log;
  INIFileProcessor processor;
  RKZARezodud::ProcessPhase record;
  int rc = -1;
};

TEST_F(BatchListTest, EveryEntryIsLoggedAsExecutingEvenWhenAbsent) {
  tree.addList("b", "l.lst", {"one.bat", "# note", "", "  two.bat ", "missing.bat"}, true);
  EXPECT_EQ(batch("l.lst"), 1u);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(log.count("INIFileProcessor::executeBatchList Executing file ["), 3);
  EXPECT_TRUE(log.contains("Executing file [" + path("two.bat") + "]."));
  EXPECT_TRUE(log.contains("Executing file [" + path("missing.bat") + "]."));
  EXPECT_EQ(record.getCurrentScript(), "missing.bat");

  EXPECT_EQ(processor.executeExecutableList(tree.path("config/b"), "l.lst", rc, 0, 1, record), 1u);
  EXPECT_EQ(log.count("INIFileProcessor::executeExecutableList Executing file ["), 3);
}

TEST_F(BatchListTest, EmptyListLogsOnlyThatItIsProcessed) {
  tree.addList("b", "l.lst", {}, true);
  EXPECT_EQ(batch("l.lst"), 1u);
  EXPECT_TRUE(log.contains("Processing list file [" + path("l.lst") + "]."));
  EXPECT_FALSE(log.contains("Executing file"));
}

TEST_F(BatchListTest, ResumeStartsAtTheRecordedEntryOrRunsNothing) {
  tree.addList("b", "l.lst", {"a.bat", "b.bat", "c.bat"}, true);
  record.setResumeFlag(1);
  record.setCurrentScript("b.bat");
  EXPECT_EQ(batch("l.lst"), 1u);
  EXPECT_FALSE(log.contains("a.bat"));
  EXPECT_TRUE(log.contains("Executing file [" + path("b.bat") + "]."));
  EXPECT_EQ(record.getResumeFlag(), 0);
  EXPECT_EQ(record.getCurrentScript(), "c.bat");

  ztest::UpgradeLogCapture second;
  record.setResumeFlag(1);
  record.setCurrentScript("z.bat");
  EXPECT_EQ(batch("l.lst"), 1u);
  EXPECT_FALSE(second.contains("Executing file"));
  EXPECT_EQ(record.getResumeFlag(), 1);
}

TEST_F(BatchListTest, UnreadableListsFail) {
  EXPECT_EQ(batch("absent.lst"), 0u);
  EXPECT_EQ(rc, 2);
  const std::string cannot = "Cannot open list file [" + path("absent.lst") + "].";
  EXPECT_TRUE(log.contains(cannot));
  EXPECT_NE(ztest::readFile(tree.path("logs/phase.log")).find(cannot), std::string::npos);

  tree.write("config/b/bad.lst", std::string("a.bat\nb\0.bat\n", 13));
  EXPECT_EQ(batch("bad.lst"), 0u);
  EXPECT_EQ(rc, 0);
  const std::string failed = "Processing of list file [" + path("bad.lst") + "] failed.";
  EXPECT_TRUE(log.contains(failed));
  EXPECT_NE(ztest::readFile(tree.path("logs/phase.log")).find(failed), std::string::npos);
  EXPECT_TRUE(log.contains("Executing file [" + path("a.bat") + "]."));
}

// --- executeExecutable.

class ExecuteExecutableTest : public ::testing::Test {
 protected:
  ExecuteExecutableTest() { std::memset(error, '#', sizeof error); }
  ztest::TempDir dir;
  ztest::UpgradeLogCapture log;
  char error[64];
  int exitCode = -1;
};

TEST_F(ExecuteExecutableTest, SuccessWritesBothStreamsIntoTheFile) {
  dir.write("listing/alpha.txt", "a");
  const std::string out = dir.file("out.txt");
  EXPECT_EQ(executeExecutable("ls " + dir.file("listing"), error, sizeof error, exitCode, out, 0), 1);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(ztest::readFile(out), "alpha.txt\n");
  EXPECT_EQ(error[0], '#');  // untouched on success
  EXPECT_TRUE(log.contains("executeExecutable Return Code 0"));

  EXPECT_EQ(executeExecutable("{ echo to-out; echo to-err >&2; }", error, sizeof error, exitCode, out, 0), 1);
  EXPECT_EQ(ztest::readFile(out), "to-out\nto-err\n");
}

TEST_F(ExecuteExecutableTest, OutputPathIsANameNeverShellText) {
  // Run in the temporary directory, so that a path taken as shell text would leave "ran" there.
  const std::string name = "out $(touch ran) `touch ran` \\ \"q\".txt";
  EXPECT_EQ(executeExecutable("cd '" + dir.path() + "' && echo hi", error, sizeof error, exitCode, dir.file(name), 0),
            1);
  EXPECT_EQ(ztest::readFile(dir.file(name)), "hi\n");
  EXPECT_FALSE(ztest::fileExists(dir.file("ran")));
}

TEST_F(ExecuteExecutableTest, ExitCodesAndSignalsAreReported) {
  const std::string out = dir.file("out.txt");
  EXPECT_EQ(executeExecutable("sh -c 'exit 3'", error, sizeof error, exitCode, out, 0), 0);
  EXPECT_EQ(exitCode, 3);
  EXPECT_TRUE(log.contains("Return Code 3"));
  EXPECT_STREQ(error, "");  // the command's own error output went into the file

  EXPECT_EQ(executeExecutable("kill -9 $$", error, sizeof error, exitCode, out, 0), 0);
  EXPECT_EQ(exitCode, 128 + 9);
}

TEST_F(ExecuteExecutableTest, ShellErrorsReachTheCallerBounded) {
  // The redirection itself fails, so the shell's complaint is the error output.
  const std::string out = dir.file("no/such/dir/out.txt");
  EXPECT_EQ(executeExecutable("true", error, 12, exitCode, out, 0), 0);
  EXPECT_NE(exitCode, 0);
  EXPECT_EQ(std::strlen(error), 11u);
  EXPECT_EQ(error[12], '#');

  EXPECT_EQ(executeExecutable("true", nullptr, 0, exitCode, out, 0), 0);
  std::memset(error, '#', sizeof error);
  EXPECT_EQ(executeExecutable("true", error, 0, exitCode, out, 0), 0);
  EXPECT_EQ(error[0], '#');
  char whole[512];
  EXPECT_EQ(executeExecutable("true", whole, sizeof whole, exitCode, out, 0), 0);
  EXPECT_NE(std::string(whole).find("no/such/dir"), std::string::npos) << whole;
}

TEST_F(ExecuteExecutableTest, MuchOutputOnBothStreamsNeitherBlocksNorOverflows) {
  // Only the last command of the line is redirected: the first two fill the service's pipes.
  const std::string out = dir.file("out.txt");
  const std::string command =
      "head -c 600000 /dev/zero | tr '\\0' o; head -c 600000 /dev/zero | tr '\\0' e >&2; "
      "{ head -c 300000 /dev/zero | tr '\\0' f; exit 4; }";
  EXPECT_EQ(executeExecutable(command, error, 16, exitCode, out, 0), 0);
  EXPECT_EQ(exitCode, 4);
  EXPECT_EQ(std::string(error), std::string(15, 'e'));
  EXPECT_EQ(error[16], '#');
  EXPECT_EQ(ztest::readFile(out), std::string(300000, 'f'));
}

TEST_F(ExecuteExecutableTest, OverlongCommandLineIsCutNotOverrun) {
  // 9,000 characters of command: the line is cut inside the command, so the redirection is
  // lost and the output reaches the service rather than the file.
  const std::string out = dir.file("out.txt");
  const std::string command = "echo " + std::string(9000, 'x');
  EXPECT_EQ(executeExecutable(command, error, sizeof error, exitCode, out, 0), 1);
  EXPECT_FALSE(ztest::fileExists(out));
}

}  // namespace
