#include "base/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace zarezodud {
namespace {

int filesIn(const std::string& dir) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    (void)entry;
    ++files;
  }
  return files;
}

mode_t modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST(AtomicFile, WriteReplacesTheFileKeepsOrSetsItsModeAndLeavesNoTemporaryFiles) {
  ztest::TempDir dir;
  const std::string path = dir.file("report.json");
  ASSERT_TRUE(writeFileAtomically(path, "one", 0640).ok());
  EXPECT_EQ(modeOf(path), 0640u);
  const Status second = writeFileAtomically(path, "two");
  ASSERT_TRUE(second.ok()) << second.message();
  EXPECT_EQ(ztest::readFile(path), "two");
  EXPECT_EQ(modeOf(path), 0640u) << "without a mode the target's is kept";
  ASSERT_TRUE(writeFileAtomically(path, "three", 0600).ok());
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_EQ(filesIn(dir.path()), 1);

  const Status missing = writeFileAtomically(dir.file("no/such/dir/report.json"), "x");
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("report.json"), std::string::npos) << missing.message();
  EXPECT_NE(missing.message().find("No such file"), std::string::npos) << missing.message();
}

TEST(AtomicFile, AProducerThatGivesUpLeavesTheOldContent) {
  ztest::TempDir dir;
  const std::string path = dir.write("state.txt", "old");
  const Status failed = writeFileAtomically(path, [](const std::function<bool(std::string_view)>& write) {
    return write("half of the new") && false;
  });
  EXPECT_FALSE(failed.ok());
  EXPECT_EQ(ztest::readFile(path), "old");
  EXPECT_EQ(filesIn(dir.path()), 1);
}

}  // namespace
}  // namespace zarezodud
