// Files appended to or read back in directories that other users can write: a symbolic link
// planted under the file's name is refused, while in a directory of this user alone a link is
// followed as before. Also the log file's write failures, which must be seen, not lost.
#include "platform/fs/shared_directory.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/debuglog/czu_logger.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

TEST(SharedDirectory, LinksArePlantedOnlyWhereOthersCanWrite) {
  ztest::TempDir tmp;
  const std::string target = tmp.write("target.txt", "keep\n");
  const std::string own = tmp.file("own");
  const std::string shared = tmp.file("shared");
  ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  EXPECT_FALSE(inSharedDirectory(own + "/x.log"));
  EXPECT_TRUE(inSharedDirectory(shared + "/x.log"));
  EXPECT_TRUE(inSharedDirectory(tmp.file("missing/x.log"))) << "what cannot be examined counts as shared";
  ASSERT_EQ(::symlink(target.c_str(), (own + "/x.log").c_str()), 0);
  ASSERT_EQ(::symlink(target.c_str(), (shared + "/x.log").c_str()), 0);

  std::string error;
  const int followed = openRefusingPlantedLinks(own + "/x.log", O_WRONLY | O_APPEND, 0, error);
  EXPECT_GE(followed, 0) << error;
  if (followed >= 0) ::close(followed);
  for (const int flags : {O_WRONLY | O_APPEND | O_CREAT, O_RDONLY}) {
    EXPECT_EQ(openRefusingPlantedLinks(shared + "/x.log", flags, 0644, error), -1);
    EXPECT_EQ(error, "[" + shared +
                         "/x.log] is a symbolic link in a directory that other users can write; "
                         "refusing to follow it.");
  }
  EXPECT_EQ(ztest::readFile(target), "keep\n");
  const int plain = openRefusingPlantedLinks(shared + "/new.log", O_WRONLY | O_CREAT, 0644, error);
  EXPECT_GE(plain, 0) << error;
  if (plain >= 0) ::close(plain);
}

TEST(GuardedLogFile, RefusesAPlantedLinkAndReportsFailedWrites) {
  ztest::TempDir tmp;
  const std::string target = tmp.write("victim.txt", "keep\n");
  const std::string shared = tmp.file("logs");
  ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  ASSERT_EQ(::symlink(target.c_str(), (shared + "/ScriptTime.log").c_str()), 0);
  CZuLogger planted;
  EXPECT_EQ(planted.init("ScriptTime", shared + "/upgrade.log", 0, false, false), -1);
  EXPECT_NE(planted.lastError().find("is a symbolic link in a directory that other users can write"),
            std::string::npos)
      << planted.lastError();
  EXPECT_EQ(ztest::readFile(target), "keep\n");

  CZuLogger log;
  ASSERT_EQ(log.open(tmp.file("own/upgrade.log"), 0, 1), 0) << "a missing directory is made";
  log.write(5, "Test::write", "first line");
  EXPECT_EQ(log.writeError(), "");
  EXPECT_NE(ztest::readFile(tmp.file("own/upgrade.log")).find("5 Test::write first line\n"),
            std::string::npos);
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    log.write(5, "Test::write", std::string(200, 'x'));
    ::_exit(log.writeError().find("File too large") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed write was not reported";
}

}  // namespace
}  // namespace zarezodud
