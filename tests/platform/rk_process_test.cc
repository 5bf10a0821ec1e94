#include "platform/process/rk_process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>

#include "support/temp_dir.h"

namespace zarezodud {
namespace {

TEST(RkProcess, ReturnsTheExitStatusAndSeparatesTheStreams) {
  std::string out = "old", err = "old";
  EXPECT_EQ(RkProcess::system("echo hello; echo oops >&2", out, err, 0, false), 0);
  EXPECT_EQ(out, "hello\n");
  EXPECT_EQ(err, "oops\n");
  EXPECT_EQ(RkProcess::system("printf 'a b'; exit 3", out, err, 0, false), 3);
  EXPECT_EQ(out, "a b");
  EXPECT_EQ(err, "");
  EXPECT_EQ(RkProcess::system("exit 255", out, err, 0, false), 255);
}

TEST(RkProcess, CommandLineGoesThroughTheShell) {
  ztest::TempDir dir;
  const std::string file = dir.file("out file.txt");
  std::string out, err;
  EXPECT_EQ(RkProcess::system("echo redirected > \"" + file + "\" 2>&1 ", out, err, 0, false), 0);
  EXPECT_EQ(ztest::readFile(file), "redirected\n");
  EXPECT_EQ(out, "");
  // Standard input is empty, so a reader does not wait.
  EXPECT_EQ(RkProcess::system("cat; echo done", out, err, 0, false), 0);
  EXPECT_EQ(out, "done\n");
}

TEST(RkProcess, MegabytesOnBothStreamsDoNotDeadlock) {
  std::string out, err;
  const int rc = RkProcess::system(
      "head -c 5242880 /dev/zero | tr '\\0' o & head -c 5242880 /dev/zero | tr '\\0' e >&2; wait", out, err,
      60, false);
  EXPECT_EQ(rc, 0) << err.substr(0, 200);
  EXPECT_EQ(out.size(), 5242880u);
  EXPECT_EQ(err.size(), 5242880u);
  EXPECT_EQ(out.find_first_not_of('o'), std::string::npos);
  EXPECT_EQ(err.find_first_not_of('e'), std::string::npos);
}

TEST(RkProcess, ASignalGives128PlusItsNumber) {
  std::string out, err;
  EXPECT_EQ(RkProcess::system("echo before; kill -TERM $$", out, err, 0, false), 128 + SIGTERM);
  EXPECT_EQ(out, "before\n");
  EXPECT_EQ(RkProcess::system("kill -KILL $$", out, err, 0, false), 128 + SIGKILL);
}

TEST(RkProcess, MissingCommandAndMissingProgram) {
  std::string out, err;
  // The shell starts but cannot find the command.
  EXPECT_EQ(RkProcess::system("/no/such/command-zz", out, err, 0, false), 127);
  EXPECT_NE(err.find("/no/such/command-zz"), std::string::npos);
  // The program itself cannot be started.
  out = "x";
  EXPECT_EQ(RkProcess::run("/no/such/program", {"program"}, out, err, 0), -1);
  EXPECT_NE(err.find("/no/such/program"), std::string::npos);
  EXPECT_EQ(out, "");
}

TEST(RkProcess, RunPassesArgumentsUnchanged) {
  std::string out, err;
  EXPECT_EQ(
      RkProcess::run("/bin/sh", {"sh", "-c", "printf '%s|' \"$@\"", "x", "a b", "$HOME", ""}, out, err, 0),
      0);
  EXPECT_EQ(out, "a b|$HOME||");
}

TEST(RkProcess, TimeoutKillsTheCommandAndWhatItStarted) {
  std::string out, err;
  const auto start = std::chrono::steady_clock::now();
  const int rc = RkProcess::system("echo started; sleep 30 & sleep 30; echo never", out, err, 1, false);
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(rc, 128 + SIGKILL);
  EXPECT_EQ(out, "started\n");
  EXPECT_NE(err.find("killed after 1 seconds"), std::string::npos);
  EXPECT_LT(seconds.count(), 10);
}

}  // namespace
}  // namespace zarezodud
