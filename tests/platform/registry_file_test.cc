#include "platform/registry/registry_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/fd_io.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

RegistryFile::Change setNumber(const std::string& key, const std::string& name, unsigned long long value) {
  return [=](RegistryContent* content, std::string*) {
    content->keys[key][name] = RegistryValue::ofNumber(value);
    return true;
  };
}

std::vector<std::string> directoryEntries(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

mode_t permissions(const std::string& path) {
  struct stat info;
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// Waits for every child and returns how many exited with status 0.
int reapChildren(const std::vector<pid_t>& children) {
  int succeeded = 0;
  for (pid_t child : children) {
    int status = 0;
    if (::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0) ++succeeded;
  }
  return succeeded;
}

TEST(RegistryFileTest, MissingFileOrDirectoryReadsEmptyAndCreatesNothing) {
  ztest::TempDir dir;
  RegistryContent content;
  std::string error;
  ASSERT_TRUE(RegistryFile(dir.file("absent/default.reg")).load(&content, &error)) << error;
  EXPECT_TRUE(content.keys.empty());
  EXPECT_FALSE(ztest::fileExists(dir.file("absent")));

  ASSERT_TRUE(RegistryFile(dir.file("default.reg")).load(&content, &error)) << error;
  EXPECT_TRUE(content.keys.empty());
  EXPECT_FALSE(ztest::fileExists(dir.file("default.reg")));
}

TEST(RegistryFileTest, UpdateCreatesDirectoryAndPrivateFileAndLeavesNoTemporaryFiles) {
  ztest::TempDir dir;
  const std::string root = dir.file("nested/registry");
  RegistryFile file(root + "/default.reg");
  std::string error;
  for (unsigned i = 0; i < 20; ++i) {
    ASSERT_TRUE(file.update(setNumber("Database", "n" + std::to_string(i), i), &error)) << error;
  }
  EXPECT_EQ(permissions(file.path()), 0600u);
  EXPECT_EQ(directoryEntries(root), (std::vector<std::string>{"default.reg", "default.reg.lock"}));

  RegistryContent content;
  ASSERT_TRUE(file.load(&content, &error)) << error;
  EXPECT_EQ(content.keys["Database"].size(), 20u);
  EXPECT_EQ(content.keys["Database"]["n19"], RegistryValue::ofNumber(19));
}

TEST(RegistryFileTest, RewriteReplacesTheFileByRenameAndKeepsItsPermissions) {
  ztest::TempDir dir;
  RegistryFile file(dir.file("default.reg"));
  std::string error;
  ASSERT_TRUE(file.update(setNumber("k", "a", 1), &error)) << error;
  ASSERT_EQ(::chmod(file.path().c_str(), 0640), 0);
  struct stat before;
  ASSERT_EQ(::stat(file.path().c_str(), &before), 0);

  ASSERT_TRUE(file.update(setNumber("k", "b", 2), &error)) << error;
  struct stat after;
  ASSERT_EQ(::stat(file.path().c_str(), &after), 0);
  // A new inode shows that the file was replaced whole, not rewritten in place.
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
}

TEST(RegistryFileTest, RefusedChangeLeavesTheFileUntouched) {
  ztest::TempDir dir;
  RegistryFile file(dir.file("default.reg"));
  std::string error;
  ASSERT_TRUE(file.update(setNumber("k", "a", 1), &error)) << error;
  const std::string before = ztest::readFile(file.path());

  auto refuse = [](RegistryContent* content, std::string* why) {
    content->keys.clear();
    *why = "refused";
    return false;
  };
  EXPECT_FALSE(file.update(refuse, &error));
  EXPECT_EQ(error, "refused");
  EXPECT_EQ(ztest::readFile(file.path()), before);
  EXPECT_EQ(directoryEntries(dir.path()).size(), 2u);
}

TEST(RegistryFileTest, UnreadableTargetsFailWithAMessageNamingThePath) {
  ztest::TempDir dir;
  std::filesystem::create_directory(dir.file("default.reg"));
  RegistryContent content;
  std::string error;
  EXPECT_FALSE(RegistryFile(dir.file("default.reg")).load(&content, &error));
  EXPECT_NE(error.find(dir.file("default.reg")), std::string::npos);

  ztest::TempDir other;
  other.write("plain", "a file where the registry directory should be");
  error.clear();
  EXPECT_FALSE(RegistryFile(other.file("plain/default.reg")).update(setNumber("k", "a", 1), &error));
  EXPECT_FALSE(error.empty());
}

TEST(RegistryFileTest, ConcurrentWriterProcessesLoseNothing) {
  ztest::TempDir dir;
  const std::string path = dir.file("default.reg");
  constexpr int kProcesses = 4;
  constexpr int kValuesEach = 40;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RegistryFile file(path);
      std::string error;
      for (int v = 0; v < kValuesEach; ++v) {
        std::string name = "p" + std::to_string(p) + "v" + std::to_string(v);
        if (!file.update(setNumber("Shared", name, static_cast<unsigned long long>(p * 1000 + v)), &error)) {
          ::_exit(1);
        }
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  ASSERT_EQ(reapChildren(children), kProcesses);

  RegistryContent content;
  std::string error;
  ASSERT_TRUE(RegistryFile(path).load(&content, &error)) << error;
  EXPECT_TRUE(content.problems.empty());
  ASSERT_EQ(content.keys["Shared"].size(), static_cast<size_t>(kProcesses * kValuesEach));
  for (int p = 0; p < kProcesses; ++p) {
    for (int v = 0; v < kValuesEach; ++v) {
      EXPECT_EQ(content.keys["Shared"]["p" + std::to_string(p) + "v" + std::to_string(v)],
                RegistryValue::ofNumber(static_cast<unsigned long long>(p * 1000 + v)));
    }
  }
  EXPECT_EQ(directoryEntries(dir.path()), (std::vector<std::string>{"default.reg", "default.reg.lock"}));
}

TEST(FdIoTest, ParentDirectoryHandlesRootsAndTrailingSlashes) {
  EXPECT_EQ(fdio::parentDirectory("/etc/zarezodud/registry/default.reg"), "/etc/zarezodud/registry");
  EXPECT_EQ(fdio::parentDirectory("/etc/zarezodud/registry/"), "/etc/zarezodud");
  EXPECT_EQ(fdio::parentDirectory("/default.reg"), "/");
  EXPECT_EQ(fdio::parentDirectory("default.reg"), ".");
  EXPECT_EQ(fdio::parentDirectory("a//b"), "a");
}

}  // namespace
}  // namespace zarezodud
