#include "platform/odbc/temp_output_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "support/env_override.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

TEST(TempOutputPath, DefaultAndOverride) {
  {
    ztest::EnvOverride unset("ZAREZODUD_OUTPUT_DIR");
    EXPECT_EQ(tempOutputFilePath(), "/tmp/.qxsetup/tempOutputFile.txt");
  }
  {
    ztest::EnvOverride set("ZAREZODUD_OUTPUT_DIR", "/var/tmp/x");
    EXPECT_EQ(tempOutputDirectory(), "/var/tmp/x/");
    EXPECT_EQ(tempOutputFilePath(), "/var/tmp/x/tempOutputFile.txt");
  }
  ztest::EnvOverride empty("ZAREZODUD_OUTPUT_DIR", "");
  EXPECT_EQ(tempOutputDirectory(), "/tmp/.qxsetup/");
}

TEST(MessageRecord, LayoutTheScannerReliesOn) {
  ztest::EnvOverride tz("TZ", "UTC");
  ::tzset();
  // 2024-01-02 03:04:05 UTC
  const std::time_t when = 1704164645;
  EXPECT_EQ(formatMessageRecord(when, "01000", 0, "Changed database context to 'db'.", 2, 7),
            "01/02/24 03:04:05 SQLState:[01000] NativeError:[0] Message:[Changed database context to 'db'.] "
            "[RecNum:2, LineNum:7]\n");
  EXPECT_EQ(formatMessageRecord(when, "42000", 50000, "", 1, 0),
            "01/02/24 03:04:05 SQLState:[42000] NativeError:[50000] Message:[] [RecNum:1, LineNum:0]\n");
}

// One open for a whole run of scripts; a new one only when the file went away or the output
// directory setting changed, so that messages never go to a file nobody reads.
TEST(TempOutputFile, StaysOpenFromScriptToScriptUntilTheFileGoesAway) {
  ztest::TempDir tmp;
  ztest::EnvOverride dir("ZAREZODUD_OUTPUT_DIR", tmp.file("a"));
  std::string error;
  TempOutputFile f;
  ASSERT_TRUE(f.openOrKeep(error)) << error;
  ASSERT_TRUE(f.append("one\n"));
  ::truncate(tmp.file("a/tempOutputFile.txt").c_str(), 0);  // what the runner does after a script
  ASSERT_TRUE(f.openOrKeep(error)) << error;
  ASSERT_TRUE(f.append("two\n"));
  EXPECT_EQ(ztest::readFile(tmp.file("a/tempOutputFile.txt")), "two\n");

  ::unlink(tmp.file("a/tempOutputFile.txt").c_str());
  ASSERT_TRUE(f.openOrKeep(error)) << error;
  ASSERT_TRUE(f.append("three\n"));
  EXPECT_EQ(ztest::readFile(tmp.file("a/tempOutputFile.txt")), "three\n");

  ztest::EnvOverride other("ZAREZODUD_OUTPUT_DIR", tmp.file("b"));
  ASSERT_TRUE(f.openOrKeep(error)) << error;
  ASSERT_TRUE(f.append("four\n"));
  EXPECT_EQ(ztest::readFile(tmp.file("b/tempOutputFile.txt")), "four\n");
}

TEST(TempOutputFile, CreatesAPrivateDirectoryAndAppends) {
  ztest::TempDir tmp;
  const std::string dir = tmp.file("out");
  std::string error;
  {
    TempOutputFile f;
    ASSERT_TRUE(f.openIn(dir, error)) << error;
    EXPECT_TRUE(f.append("one\n"));
  }
  struct stat st;
  ASSERT_EQ(::lstat(dir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  TempOutputFile again;
  ASSERT_TRUE(again.openIn(dir + "/", error)) << error;
  EXPECT_TRUE(again.append("two\n"));
  again.close();
  EXPECT_FALSE(again.append("three\n")) << "closed";
  EXPECT_EQ(ztest::readFile(dir + "/tempOutputFile.txt"), "one\ntwo\n");
}

TEST(TempOutputFile, RefusesASymbolicLinkDirectory) {
  ztest::TempDir tmp, target;
  const std::string link = tmp.file("out");
  ASSERT_EQ(::symlink(target.path().c_str(), link.c_str()), 0);
  TempOutputFile f;
  std::string error;
  EXPECT_FALSE(f.openIn(link, error));
  EXPECT_FALSE(f.isOpen());
  EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
  EXPECT_FALSE(ztest::fileExists(target.file("tempOutputFile.txt")));
}

TEST(TempOutputFile, RefusesASymbolicLinkFile) {
  ztest::TempDir tmp, elsewhere;
  const std::string dir = tmp.file("out");
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  const std::string victim = elsewhere.write("victim", "keep");
  ASSERT_EQ(::symlink(victim.c_str(), (dir + "/tempOutputFile.txt").c_str()), 0);
  TempOutputFile f;
  std::string error;
  EXPECT_FALSE(f.openIn(dir, error));
  EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
  EXPECT_EQ(ztest::readFile(victim), "keep");
}

TEST(TempOutputFile, RefusesADirectoryOfAnotherUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a directory to another user";
  ztest::TempDir tmp;
  const std::string dir = tmp.file("out");
  ASSERT_EQ(::mkdir(dir.c_str(), 0777), 0);
  ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
  TempOutputFile f;
  std::string error;
  EXPECT_FALSE(f.openIn(dir, error));
  EXPECT_NE(error.find("owned by another user"), std::string::npos) << error;
  EXPECT_FALSE(ztest::fileExists(dir + "/tempOutputFile.txt"));
}

TEST(TempOutputFile, RefusesAPlainFileInPlaceOfTheDirectory) {
  ztest::TempDir tmp;
  const std::string notDir = tmp.write("out", "x");
  TempOutputFile f;
  std::string error;
  EXPECT_FALSE(f.openIn(notDir, error));
  EXPECT_FALSE(error.empty());
  std::string error2;
  EXPECT_FALSE(f.openIn(tmp.file("missing/parent"), error2));
  EXPECT_NE(error2.find("Cannot create"), std::string::npos) << error2;
}

TEST(TempOutputFile, RefusesADirectoryOthersCanWriteUnlessItIsSticky) {
  ztest::TempDir tmp;
  const std::string dir = tmp.file("out");
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  for (const mode_t mode : {0777, 0770, 0722}) {
    ASSERT_EQ(::chmod(dir.c_str(), mode), 0);
    TempOutputFile f;
    std::string error;
    EXPECT_FALSE(f.openIn(dir, error)) << std::oct << mode;
    EXPECT_NE(error.find("can be written by other users"), std::string::npos) << error;
    EXPECT_NE(error.find("chmod go-w"), std::string::npos) << error;
  }
  EXPECT_FALSE(ztest::fileExists(dir + "/tempOutputFile.txt"));
  for (const mode_t mode : {01777, 0755, 0700}) {
    ASSERT_EQ(::chmod(dir.c_str(), mode), 0);
    TempOutputFile f;
    std::string error;
    EXPECT_TRUE(f.openIn(dir, error)) << std::oct << mode << ": " << error;
  }
}

TEST(TempOutputFile, AFailedAppendIsRememberedWithItsReason) {
  ztest::TempDir tmp;
  TempOutputFile f;
  std::string error;
  ASSERT_TRUE(f.openIn(tmp.path(), error)) << error;
  EXPECT_TRUE(f.append("fits\n"));
  EXPECT_EQ(f.writeError(), "");
  // A file-size limit stands in for a full disk; the child reports what it saw.
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool appended = f.append(std::string(64, 'x'));
    const bool reported = f.writeError().find("File too large") != std::string::npos &&
                          f.writeError().find(tmp.file("tempOutputFile.txt")) != std::string::npos;
    ::_exit(!appended && reported ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace zarezodud
