#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "config/profile_store.h"
#include "support/temp_dir.h"

namespace {

// Number of temporary files a write left in a directory.
int leftoverTempFiles(const std::string& dir) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename().string().rfind("~PROFILE.TMP", 0) == 0) ++count;
  }
  return count;
}

mode_t permissions(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

class ProfileWrite : public ::testing::Test {
 protected:
  std::string file(const std::string& content) { return dir_.write("conf.ini", content); }
  int set(const std::string& path, const char* section, const char* key, const char* value) {
    return SetProfileString(section, key, value, path.c_str());
  }
  void TearDown() override { EXPECT_EQ(leftoverTempFiles(dir_.path()), 0); }
  ztest::TempDir dir_;
};

TEST_F(ProfileWrite, MissingFileIsCreatedWithHeaderAndEntry) {
  const std::string path = dir_.file("new.ini");
  mode_t old = umask(022);
  EXPECT_EQ(set(path, "Main", "Key", "Value"), 0);
  umask(old);
  EXPECT_EQ(ztest::readFile(path), "[Main]\nKey=Value\n");
  EXPECT_EQ(permissions(path), 0644u);
}

TEST_F(ProfileWrite, MissingSectionIsAppended) {
  const std::string path = file("[A]\nx=1\n");
  EXPECT_EQ(set(path, "B", "y", "2"), 0);
  EXPECT_EQ(ztest::readFile(path), "[A]\nx=1\n[B]\ny=2\n");
}

TEST_F(ProfileWrite, ExistingKeyIsReplacedInPlaceAndLinesAreTrimmed) {
  const std::string path = file("  ; head\n[a]\n   x = 1\n \t \n  Key = old  \nz=3\n[B]\nKey=other\n");
  EXPECT_EQ(set(path, "A", "key", "new value"), 0);
  EXPECT_EQ(ztest::readFile(path), "; head\n[a]\nx = 1\n\nkey=new value\nz=3\n[B]\nKey=other\n");
}

TEST_F(ProfileWrite, NewKeyGoesToTheEndOfItsSection) {
  const std::string path = file("[A]\nx=1\n[B]\ny=2\n");
  EXPECT_EQ(set(path, "A", "k", "v"), 0);
  EXPECT_EQ(set(path, "B", "k", "w"), 0);
  EXPECT_EQ(ztest::readFile(path), "[A]\nx=1\nk=v\n[B]\ny=2\nk=w\n");
}

TEST_F(ProfileWrite, OnlyTheFirstDuplicateIsReplaced) {
  const std::string path = file("[A]\nk=1\nk=2\n");
  EXPECT_EQ(set(path, "A", "k", "9"), 0);
  EXPECT_EQ(ztest::readFile(path), "[A]\nk=9\nk=2\n");
}

TEST_F(ProfileWrite, ValueIsWrittenUnchangedAndReadsBackTrimmed) {
  const std::string path = file("[A]\n");
  EXPECT_EQ(set(path, "A", "k", " spaced "), 0);
  EXPECT_EQ(ztest::readFile(path), "[A]\nk= spaced \n");
  char out[32];
  EXPECT_EQ(GetProfileString("A", "k", "", out, sizeof out, path.c_str()), 0);
  EXPECT_STREQ(out, "spaced");
}

// A key is only its own line's key: writing Log must not overwrite LogLevel or Logging.
TEST_F(ProfileWrite, KeyReplacesOnlyItsOwnLine) {
  const std::string path = file("[A]\nLogLevel=3\nLogging = on\nlog = old\nCatalog=x\n");
  EXPECT_EQ(set(path, "A", "Log", "new"), 0);
  EXPECT_EQ(ztest::readFile(path), "[A]\nLogLevel=3\nLogging = on\nLog=new\nCatalog=x\n");

  const std::string second = dir_.write("second.ini", "[A]\nTimeoutSecs=5\n");
  EXPECT_EQ(set(second, "A", "Timeout", "10"), 0);
  EXPECT_EQ(ztest::readFile(second), "[A]\nTimeoutSecs=5\nTimeout=10\n");
  char out[16];
  EXPECT_EQ(GetProfileString("A", "TimeoutSecs", "", out, sizeof out, second.c_str()), 0);
  EXPECT_STREQ(out, "5");
}

// Long lines pass through a write whole; their tails do not act as headers or keys.
TEST_F(ProfileWrite, LongLinesAreCopiedThroughWhole) {
  const std::string note = "note=" + std::string(250, 'x') + "[T]";
  const std::string keyTail = "k=" + std::string(253, 'y') + "Log=1";
  const std::string path = file("[S]\n" + note + "\n" + keyTail + "\n[T]\nz=1\n");
  EXPECT_EQ(set(path, "S", "Log", "2"), 0);
  EXPECT_EQ(ztest::readFile(path), "[S]\n" + note + "\n" + keyTail + "\nLog=2\n[T]\nz=1\n");
}

TEST_F(ProfileWrite, PermissionBitsOfTheTargetAreKept) {
  const std::string path = file("[A]\nk=1\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  EXPECT_EQ(set(path, "A", "k", "2"), 0);
  EXPECT_EQ(permissions(path), 0640u);
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(set(path, "A", "k", "3"), 0);
  EXPECT_EQ(permissions(path), 0600u);
}

TEST_F(ProfileWrite, PathWithoutSlashFailsAndCreatesNothing) {
  const std::string name = "zarezodud-no-slash-" + std::to_string(getpid()) + ".ini";
  EXPECT_EQ(SetProfileString("A", "k", "v", name.c_str()), PROFILE_CANNOT_OPEN);
  EXPECT_FALSE(ztest::fileExists(name));
  EXPECT_EQ(leftoverTempFiles("."), 0);
}

TEST_F(ProfileWrite, LengthLimits) {
  const std::string path = file("[A]\n");
  const std::string before = ztest::readFile(path);
  EXPECT_EQ(set(path, std::string(253, 's').c_str(), "k", "v"), PROFILE_TOO_LONG);
  EXPECT_EQ(set(path, "A", std::string(200, 'k').c_str(), std::string(54, 'v').c_str()), PROFILE_TOO_LONG);
  EXPECT_EQ(ztest::readFile(path), before);
  EXPECT_EQ(set(path, "A", std::string(200, 'k').c_str(), std::string(53, 'v').c_str()), 0);
  EXPECT_EQ(set(path, std::string(252, 's').c_str(), "k", "v"), 0);
  const std::string longPath = dir_.path() + "/" + std::string(1100, 'p');
  EXPECT_EQ(SetProfileString("A", "k", "v", longPath.c_str()), PROFILE_CANNOT_OPEN);
}

TEST_F(ProfileWrite, NullArgumentsGiveCodes) {
  const std::string path = file("[A]\n");
  EXPECT_EQ(SetProfileString("A", "k", "v", nullptr), PROFILE_CANNOT_OPEN);
  EXPECT_EQ(set(path, nullptr, "k", "v"), PROFILE_TOO_LONG);
  EXPECT_EQ(set(path, "A", nullptr, "v"), PROFILE_TOO_LONG);
  EXPECT_EQ(set(path, "A", "k", nullptr), PROFILE_TOO_LONG);
  EXPECT_EQ(WritePrivateProfileString("A", "k", nullptr, path.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("A", "k", "v", path.c_str()), 1);
  EXPECT_EQ(ztest::readFile(path), "[A]\nk=v\n");
}

TEST_F(ProfileWrite, MissingDirectoryCannotBeOpened) {
  EXPECT_EQ(SetProfileString("A", "k", "v", dir_.file("no/such/dir.ini").c_str()), PROFILE_CANNOT_OPEN);
}

TEST_F(ProfileWrite, ReadErrorLeavesTargetAndNoTemporaryFile) {
  // A directory in the target's place opens but cannot be read.
  const std::string target = dir_.file("target.ini");
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  EXPECT_EQ(SetProfileString("A", "k", "v", target.c_str()), PROFILE_READ_ERROR);
  EXPECT_TRUE(std::filesystem::is_directory(target));
}

// A write that runs out of space (here: a file-size limit in a child process) reports a write
// error, leaves the old content in place and removes its temporary file.
TEST_F(ProfileWrite, WriteErrorLeavesTargetAndNoTemporaryFile) {
  std::string content = "[A]\n";
  for (int i = 0; i < 2000; ++i) content += "key" + std::to_string(i) + "=value\n";
  const std::string path = file(content);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = 4096;
    setrlimit(RLIMIT_FSIZE, &limit);
    int rc = SetProfileString("A", "k", "v", path.c_str());
    _exit(-rc);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), -PROFILE_WRITE_ERROR);
  EXPECT_EQ(ztest::readFile(path), content);
}

}  // namespace
