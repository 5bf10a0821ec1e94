#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/fs/time_stamp.h"
#include "platform/fs/zu_directory.h"
#include "platform/fs/zu_file.h"
#include "platform/fs/zu_path.h"
#include "support/temp_dir.h"

namespace zarezodud {
namespace {

void setTimes(const std::string& path, int64_t access, int64_t modification) {
  struct timespec times[2] = {{static_cast<time_t>(access), 0}, {static_cast<time_t>(modification), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

TEST(CZuFile, GetTimesReportsAccessModificationAndCreation) {
  ztest::TempDir dir;
  const std::string path = dir.write("a.dmp", "x");
  setTimes(path, 1000000000, 1200000000);
  int64_t access = -1, modification = -1, creation = -1;
  CZuError result = CZuFile::GetTimes(path, &access, &modification, &creation);
  ASSERT_TRUE(result.IsSuccess()) << result.GetMessage();
  EXPECT_EQ(access, 1000000000);
  EXPECT_EQ(modification, 1200000000);
  // Birth or status-change time: the file was made during this test, not at the set times.
  EXPECT_GT(creation, 1200000000);
  EXPECT_LE(creation, CTimeStamp::Now() + 1);

  // Destinations are optional.
  int64_t only = 0;
  EXPECT_TRUE(CZuFile::GetTimes(path, nullptr, &only, nullptr).IsSuccess());
  EXPECT_EQ(only, 1200000000);
}

TEST(CZuFile, GetTimesOfAMissingFileFailsAndLeavesDestinations) {
  ztest::TempDir dir;
  int64_t modification = 77;
  CZuError result = CZuFile::GetTimes(dir.file("missing"), nullptr, &modification, nullptr);
  EXPECT_TRUE(result.IsError());
  EXPECT_NE(result.GetMessage().find(dir.file("missing")), std::string::npos);
  EXPECT_NE(result.GetMessage().find("No such file"), std::string::npos);
  EXPECT_EQ(modification, 77);
}

TEST(CZuFile, DeleteAndExists) {
  ztest::TempDir dir;
  const std::string target = dir.write("target.txt", "keep me");
  const std::string link = dir.file("link.dmp");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  EXPECT_TRUE(CZuFile::Exists(target));
  EXPECT_TRUE(CZuFile::Exists(link));

  // Deleting a link removes the link only.
  EXPECT_TRUE(CZuFile::Delete(link).IsSuccess());
  EXPECT_FALSE(CZuFile::Exists(link));
  EXPECT_EQ(ztest::readFile(target), "keep me");

  ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0700), 0);
  EXPECT_TRUE(CZuFile::Exists(dir.file("sub")));
  EXPECT_TRUE(CZuFile::Delete(dir.file("sub")).IsError());
  EXPECT_TRUE(CZuFile::Exists(dir.file("sub")));

  EXPECT_TRUE(CZuFile::Delete(target).IsSuccess());
  EXPECT_FALSE(CZuFile::Exists(target));
  CZuError again = CZuFile::Delete(target);
  EXPECT_TRUE(again.IsError());
  EXPECT_FALSE(again.GetMessage().empty());
  EXPECT_FALSE(CZuFile::Exists(""));

  // A dangling link does not exist.
  ASSERT_EQ(symlink(dir.file("nowhere").c_str(), dir.file("dangling").c_str()), 0);
  EXPECT_FALSE(CZuFile::Exists(dir.file("dangling")));
}

std::vector<std::string> listAll(const std::string& path, const std::string& pattern, bool skipDirectories) {
  CZuDirectory listing;
  std::vector<std::string> names;
  CZuError opened = listing.Open(path, pattern, skipDirectories);
  EXPECT_TRUE(opened.IsSuccess()) << opened.GetMessage();
  std::string name;
  for (int guard = 0; guard < 1000; ++guard) {
    CZuError read = listing.Read(name);
    EXPECT_TRUE(read.IsSuccess()) << read.GetMessage();
    if (read.IsError() || listing.IsEnd()) break;
    names.push_back(name);
  }
  EXPECT_TRUE(listing.IsEnd());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(CZuDirectory, ListsMatchingEntriesCaseSensitively) {
  ztest::TempDir dir;
  for (const char* name : {"Corehub_1.dmp", "Corehub_2.dmp", "corehub_3.dmp", "Corehub_4.DMP", "Corehub.txt",
                           "ZI2Corehub.dmp", ".Corehub_hidden.dmp"}) {
    dir.write(name, "x");
  }
  ASSERT_EQ(mkdir(dir.file("Corehub_dir.dmp").c_str(), 0700), 0);
  ASSERT_EQ(symlink(dir.file("Corehub.txt").c_str(), dir.file("Corehub_link.dmp").c_str()), 0);
  ASSERT_EQ(symlink(dir.file("Corehub_dir.dmp").c_str(), dir.file("Corehub_dirlink.dmp").c_str()), 0);

  using Names = std::vector<std::string>;
  EXPECT_EQ(listAll(dir.path(), "Corehub*.dmp", true),
            (Names{"Corehub_1.dmp", "Corehub_2.dmp", "Corehub_dirlink.dmp", "Corehub_link.dmp"}));
  EXPECT_EQ(listAll(dir.path(), "Corehub*.dmp", false),
            (Names{"Corehub_1.dmp", "Corehub_2.dmp", "Corehub_dir.dmp", "Corehub_dirlink.dmp",
                   "Corehub_link.dmp"}));
  EXPECT_EQ(listAll(dir.path(), "*.txt", true), (Names{"Corehub.txt"}));
  EXPECT_EQ(listAll(dir.path(), "nothing*", true), Names{});
  // "*" matches a leading dot as well.
  EXPECT_EQ(listAll(dir.path(), "*hidden.dmp", true), (Names{".Corehub_hidden.dmp"}));
  // An empty pattern lists everything but "." and "..".
  EXPECT_EQ(listAll(dir.path(), "", false).size(), 10u);
}

TEST(CZuDirectory, ErrorsAndEndStates) {
  ztest::TempDir dir;
  CZuDirectory listing;
  std::string name = "stale";
  EXPECT_TRUE(listing.Read(name).IsError());
  EXPECT_TRUE(listing.IsError());
  EXPECT_EQ(name, "");

  CZuError missing = listing.Open(dir.file("missing"), "*", true);
  EXPECT_TRUE(missing.IsError());
  EXPECT_NE(missing.GetMessage().find("missing"), std::string::npos);
  EXPECT_FALSE(listing.IsOpen());
  const std::string file = dir.write("plain", "x");
  EXPECT_TRUE(listing.Open(file, "*", true).IsError());

  // An empty directory ends at once and stays at its end; reopening starts again.
  ASSERT_EQ(mkdir(dir.file("empty").c_str(), 0700), 0);
  ASSERT_TRUE(listing.Open(dir.file("empty"), "*", true).IsSuccess());
  EXPECT_FALSE(listing.IsError());
  EXPECT_TRUE(listing.Read(name).IsSuccess());
  EXPECT_TRUE(listing.IsEnd());
  EXPECT_TRUE(listing.Read(name).IsSuccess());
  EXPECT_TRUE(listing.IsEnd());
  ASSERT_TRUE(listing.Open(dir.path(), "pl*", true).IsSuccess());
  EXPECT_FALSE(listing.IsEnd());
  EXPECT_TRUE(listing.Read(name).IsSuccess());
  EXPECT_EQ(name, "plain");
  listing.Close();
  EXPECT_TRUE(listing.Read(name).IsError());
}

TEST(Paths, AppendPutsExactlyOneSeparator) {
  EXPECT_EQ(CZuPath::Append("/a/b", "c.dmp"), "/a/b/c.dmp");
  EXPECT_EQ(CZuPath::Append("/a/b/", "c.dmp"), "/a/b/c.dmp");
  EXPECT_EQ(CZuPath::Append("/a/b//", "//c.dmp"), "/a/b/c.dmp");
  EXPECT_EQ(CZuPath::Append("/", "c"), "/c");
  EXPECT_EQ(CZuPath::Append("///", "/c"), "/c");
  EXPECT_EQ(CZuPath::Append("rel", "x/y"), "rel/x/y");
  EXPECT_EQ(CZuPath::Append("", "/abs"), "/abs");
  EXPECT_EQ(CZuPath::Append("dir", ""), "dir");
  EXPECT_EQ(CZuPath::Append("dir/", "/"), "dir");

  std::string path = "/srv/product/";
  EXPECT_EQ(FXPath::Append(path, "iFieldAgent", 0), 0);
  EXPECT_EQ(FXPath::Append(path, "JobResults", 0), 0);
  EXPECT_EQ(path, "/srv/product/iFieldAgent/JobResults");
  EXPECT_EQ(FXPath::Append(path, "", 0), -1);
  EXPECT_EQ(FXPath::Append(path, "x", 1), -1);
  EXPECT_EQ(path, "/srv/product/iFieldAgent/JobResults");
}

TEST(CTimeStamp, NowIsTheWallClockInSeconds) {
  const int64_t before = static_cast<int64_t>(time(nullptr));
  const int64_t now = CTimeStamp::Now();
  EXPECT_GE(now, before);
  EXPECT_LE(now, before + 2);
}

}  // namespace
}  // namespace zarezodud
