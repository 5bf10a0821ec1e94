#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "config/profile_store.h"
#include "support/temp_dir.h"

namespace {

constexpr int kWriters = 4;
constexpr int kKeysEach = 25;

std::string keyName(int writer, int n) { return "w" + std::to_string(writer) + "k" + std::to_string(n); }

void writeKeys(const std::string& path, int writer, int* failures) {
  for (int n = 0; n < kKeysEach; ++n) {
    const std::string key = keyName(writer, n);
    if (SetProfileString("Shared", key.c_str(), std::to_string(n).c_str(), path.c_str()) != 0) ++*failures;
  }
}

// Every key of every writer is in the file, and no temporary file remains.
void expectEverythingKept(const ztest::TempDir& dir, const std::string& path) {
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int n = 0; n < kKeysEach; ++n) {
      EXPECT_EQ(GetProfileLong("Shared", keyName(writer, n).c_str(), -100, path.c_str()), n)
          << keyName(writer, n);
    }
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename().string().rfind("~PROFILE.TMP", 0), std::string::npos) << entry.path();
  }
}

TEST(ProfileConcurrentWrites, ThreadsWritingDifferentKeysLoseNothing) {
  ztest::TempDir dir;
  const std::string path = dir.write("shared.ini", "[Shared]\n");
  std::vector<int> failures(kWriters, 0);
  std::vector<std::thread> threads;
  for (int writer = 0; writer < kWriters; ++writer) {
    threads.emplace_back(writeKeys, path, writer, &failures[writer]);
  }
  for (auto& t : threads) t.join();
  for (int writer = 0; writer < kWriters; ++writer) EXPECT_EQ(failures[writer], 0) << writer;
  expectEverythingKept(dir, path);
}

TEST(ProfileConcurrentWrites, ProcessesWritingDifferentKeysLoseNothing) {
  ztest::TempDir dir;
  const std::string path = dir.file("shared.ini");  // the first writer creates it
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int failures = 0;
      writeKeys(path, writer, &failures);
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  expectEverythingKept(dir, path);
}

// Readers running beside a writer always see a whole file: every key written before stays
// readable while later writes replace the file.
TEST(ProfileConcurrentWrites, ReadersNeverSeeAPartialFile) {
  ztest::TempDir dir;
  const std::string path = dir.write("shared.ini", "[Shared]\nstable=7\n");
  std::thread writer([&] {
    int failures = 0;
    writeKeys(path, 0, &failures);
  });
  int missed = 0;
  for (int i = 0; i < 200; ++i) {
    if (GetProfileLong("Shared", "stable", -100, path.c_str()) != 7) ++missed;
  }
  writer.join();
  EXPECT_EQ(missed, 0);
}

}  // namespace
