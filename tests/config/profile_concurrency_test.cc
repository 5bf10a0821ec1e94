#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "config/profile_store.h"
#include "support/temp_dir.h"

namespace {

constexpr int kWriters = 4;
constexpr int kKeysEach = 25;

std::string keyName(int writer, int n) { return "w" + std::to_string(writer) + "k" + std::to_string(n); }

// Writes this writer's keys; returns the number of failed writes.
int writeKeys(const std::string& path, int writer) {
  int failures = 0;
  for (int n = 0; n < kKeysEach; ++n) {
    if (SetProfileLong("Shared", keyName(writer, n).c_str(), n, path.c_str()) != 0) ++failures;
  }
  return failures;
}

// Every key of every writer is in the file, and no temporary file remains.
void expectEverythingKept(const ztest::TempDir& dir, const std::string& path) {
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int n = 0; n < kKeysEach; ++n) {
      EXPECT_EQ(GetProfileLong("Shared", keyName(writer, n).c_str(), -100, path.c_str()), n)
          << keyName(writer, n);
    }
  }
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files, (void)entry;
  EXPECT_EQ(files, 1);
}

TEST(ProfileConcurrentWrites, ThreadsWritingDifferentKeysLoseNothing) {
  ztest::TempDir dir;
  const std::string path = dir.write("shared.ini", "[Shared]\n");
  std::vector<int> failures(kWriters, 0);
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) threads.emplace_back([&, w] { failures[w] = writeKeys(path, w); });
  for (auto& t : threads) t.join();
  for (int w = 0; w < kWriters; ++w) EXPECT_EQ(failures[w], 0) << w;
  expectEverythingKept(dir, path);
}

TEST(ProfileConcurrentWrites, ProcessesWritingDifferentKeysLoseNothing) {
  ztest::TempDir dir;
  const std::string path = dir.file("shared.ini");  // the first writer creates it
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(writeKeys(path, w) == 0 ? 0 : 1);
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  expectEverythingKept(dir, path);
}

}  // namespace
