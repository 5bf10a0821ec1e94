#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "config/profile_store.h"
#include "support/temp_dir.h"

namespace {

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
  // No write, successful or not, leaves a temporary file behind.
  void TearDown() override {
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      EXPECT_NE(entry.path().filename().string().rfind("~PROFILE.TMP", 0), 0u) << entry.path();
    }
  }
  ztest::TempDir dir_;
};

TEST_F(ProfileWrite, CreatesFileThenSectionThenKey) {
  const std::string path = dir_.file("new.ini");
  mode_t old = umask(022);
  EXPECT_EQ(set(path, "A", "x", "1"), 0);
  umask(old);
  EXPECT_EQ(ztest::readFile(path), "[A]\nx=1\n");
  EXPECT_EQ(permissions(path), 0644u);
  EXPECT_EQ(set(path, "B", "y", " spaced "), 0);
  EXPECT_EQ(ztest::readFile(path), "[A]\nx=1\n[B]\ny= spaced \n");  // written unchanged
  EXPECT_EQ(set(path, "A", "k", "v"), 0);  // new key at the end of its section; lines trimmed
  EXPECT_EQ(ztest::readFile(path), "[A]\nx=1\nk=v\n[B]\ny= spaced\n");
}

TEST_F(ProfileWrite, ReplacesFirstMatchingLineAndTrimsEveryLine) {
  const std::string path = file("  ; head\n[a]\n   x = 1\n \t \n  Key = old  \nkey=dup\n[B]\nKey=other\n");
  EXPECT_EQ(set(path, "A", "key", "new value"), 0);
  EXPECT_EQ(ztest::readFile(path), "; head\n[a]\nx = 1\n\nkey=new value\nkey=dup\n[B]\nKey=other\n");
}

// A key replaces only its own line: writing Log must not overwrite LogLevel or Catalog.
TEST_F(ProfileWrite, KeyReplacesOnlyItsOwnLine) {
  const std::string path = file("[A]\nLogLevel=3\nCatalog=x\nlog = old\nTimeoutSecs=5\n");
  EXPECT_EQ(set(path, "A", "Log", "new"), 0);
  EXPECT_EQ(set(path, "A", "Timeout", "10"), 0);
  EXPECT_EQ(ztest::readFile(path), "[A]\nLogLevel=3\nCatalog=x\nLog=new\nTimeoutSecs=5\nTimeout=10\n");
}

// Long lines pass through a write whole; their tails do not act as headers or keys.
TEST_F(ProfileWrite, LongLinesAreCopiedThroughWhole) {
  const std::string note = "note=" + std::string(250, 'x') + "[T]";
  const std::string keyTail = "k=" + std::string(253, 'y') + "Log=1";
  const std::string path = file("[S]\n" + note + "\n" + keyTail + "\n[T]\nz=1\n");
  EXPECT_EQ(set(path, "S", "Log", "2"), 0);
  EXPECT_EQ(ztest::readFile(path), "[S]\n" + note + "\n" + keyTail + "\nLog=2\n[T]\nz=1\n");
}

// The first line of a key is its entry however long it is: lookups report an over-long one as
// too long, so a write must put the new entry in its place. Appending a second entry instead
// (found by fuzzing) left the key unreadable after a "successful" write.
TEST_F(ProfileWrite, OverLongEntryOfTheKeyIsReplaced) {
  const std::string longEntry = "Path = \"" + std::string(300, 'x') + "s]";
  const std::string path = file("  [s]  \n" + longEntry + "\nk=v\nPath=second\n[T]\nPath=t\n");
  char value[300];
  EXPECT_EQ(GetProfileString("S", "Path", "", value, sizeof value, path.c_str()), PROFILE_TOO_LONG);
  EXPECT_EQ(set(path, "S", "Path", "2"), 0);
  EXPECT_EQ(ztest::readFile(path), "[s]\nPath=2\nk=v\nPath=second\n[T]\nPath=t\n");
  EXPECT_EQ(GetProfileString("S", "Path", "", value, sizeof value, path.c_str()), 0);
  EXPECT_STREQ(value, "2");
}

// A NUL byte inside a line is a read error wherever a scan reaches it: the line is never cut at
// the NUL, never joined to the next line, and a write leaves the file as it was.
TEST_F(ProfileWrite, LineHoldingNulIsAReadErrorAndNeverRewritten) {
  const std::string content = std::string("[s]\nfirst=1\nPat\0c # gone\nk=v\0\0\0?g]\nPath=second\n", 47);
  const std::string path = file(content);
  char value[300];
  EXPECT_EQ(GetProfileString("s", "first", "", value, sizeof value, path.c_str()), 0);
  EXPECT_STREQ(value, "1");
  EXPECT_EQ(GetProfileString("s", "Path", "dflt", value, sizeof value, path.c_str()), PROFILE_READ_ERROR);
  EXPECT_STREQ(value, "dflt");
  EXPECT_EQ(GetProfileString("s", "Patk", "", value, sizeof value, path.c_str()), PROFILE_READ_ERROR);
  EXPECT_EQ(set(path, "s", "Path", "2"), PROFILE_READ_ERROR);
  EXPECT_EQ(ztest::readFile(path), content);
}

TEST_F(ProfileWrite, PermissionBitsOfTheTargetAreKept) {
  const std::string path = file("[A]\nk=1\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  EXPECT_EQ(set(path, "A", "k", "2"), 0);
  EXPECT_EQ(permissions(path), 0640u);
}

TEST_F(ProfileWrite, RefusedWritesChangeNothing) {
  const std::string path = file("[A]\n");
  EXPECT_EQ(set(path, std::string(253, 's').c_str(), "k", "v"), PROFILE_TOO_LONG);
  EXPECT_EQ(set(path, "A", std::string(200, 'k').c_str(), std::string(54, 'v').c_str()), PROFILE_TOO_LONG);
  EXPECT_EQ(ztest::readFile(path), "[A]\n");
  EXPECT_EQ(set(path, "A", std::string(200, 'k').c_str(), std::string(53, 'v').c_str()), 0);
  EXPECT_EQ(set(dir_.path() + "/" + std::string(1100, 'p'), "A", "k", "v"), PROFILE_CANNOT_OPEN);
  EXPECT_EQ(set(dir_.file("no/such/dir.ini"), "A", "k", "v"), PROFILE_CANNOT_OPEN);
  const std::string name = "zarezodud-no-slash-" + std::to_string(getpid()) + ".ini";
  EXPECT_EQ(set(name, "A", "k", "v"), PROFILE_CANNOT_OPEN);
  EXPECT_FALSE(ztest::fileExists(name));
  EXPECT_EQ(WritePrivateProfileString("A", "k", "v", name.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("A", "k", "v", path.c_str()), 1);
}

TEST_F(ProfileWrite, ReadErrorLeavesTargetAndNoTemporaryFile) {
  // A directory in the target's place opens but cannot be read.
  const std::string target = dir_.file("target.ini");
  ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
  EXPECT_EQ(set(target, "A", "k", "v"), PROFILE_READ_ERROR);
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
    _exit(-SetProfileString("A", "k", "v", path.c_str()));
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), -PROFILE_WRITE_ERROR);
  EXPECT_EQ(ztest::readFile(path), content);
}

}  // namespace
