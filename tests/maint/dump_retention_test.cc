// Dump retention with real files whose modification times are set back by whole days.
#include "maint/dump_retention.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

#include "maint/dump_sweep_plan.h"
#include "platform/registry/registry_names.h"
#include "platform/registry/rk_platform_info.h"
#include "support/log_capture.h"
#include "support/registry_sandbox.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
namespace names = zarezodud::registry_names;

const long long kDay = 86400;

// Sets the modification time of path (the link itself when it is one) to ageSeconds ago.
void setAge(const std::string& path, long long ageSeconds) {
  const struct timespec times[2] = {{static_cast<time_t>(std::time(nullptr) - ageSeconds), 0},
                                    {static_cast<time_t>(std::time(nullptr) - ageSeconds), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

class DumpRetentionTest : public ::testing::Test {
 protected:
  DumpRetentionTest()
      : jobResults_(product_.path() + "/iFieldAgent/JobResults"), upgradeDumps_(jobResults_ + "/ZARezodud") {
    fs::create_directories(upgradeDumps_);
  }

  void setProductDirectory() {
    ASSERT_TRUE(registry_.setString(names::kProductKey, names::kProductDirectoryValue, product_.path()));
  }
  void setLimits(unsigned long long days, unsigned long long files) {
    ASSERT_TRUE(registry_.setNumber(names::kDatabaseKey, names::kDumpsDaysOlderValue, days));
    ASSERT_TRUE(registry_.setNumber(names::kDatabaseKey, names::kDumpsFilesToRetainValue, files));
  }
  // A file dir/name written ageDays ago.
  std::string dump(const std::string& dir, const std::string& name, double ageDays) {
    const std::string path = dir + "/" + name;
    product_.write(path.substr(product_.path().size() + 1), "dump");
    setAge(path, static_cast<long long>(ageDays * kDay));
    return path;
  }
  static bool exists(const std::string& path) {
    return fs::symlink_status(path).type() != fs::file_type::not_found;
  }

  ztest::RegistrySandbox sandbox_;
  zarezodud::RKPlatformInfo registry_;
  ztest::TempDir product_;
  std::string jobResults_;
  std::string upgradeDumps_;
};

TEST_F(DumpRetentionTest, DefaultsKeepOnlyTheNewestYoungDumpInBothDirectories) {
  setProductDirectory();
  for (const std::string& dir : {jobResults_, upgradeDumps_}) {
    dump(dir, "Corehub_1.dmp", 1);
    dump(dir, "Corehub_10.dmp", 10);
    dump(dir, "Corehub_40.dmp", 40);
    dump(dir, "ZI2_40.dmp", 40);
  }
  ztest::UpgradeLogCapture log;
  EXPECT_EQ(DeleteOldDBDumps_OnTimer(nullptr), 0);
  for (const std::string& dir : {jobResults_, upgradeDumps_}) {
    EXPECT_TRUE(exists(dir + "/Corehub_1.dmp")) << dir;
    EXPECT_FALSE(exists(dir + "/Corehub_10.dmp")) << dir;
    EXPECT_FALSE(exists(dir + "/Corehub_40.dmp")) << dir;
    // The newest ZI2 dump is the only one, but it is older than 30 days.
    EXPECT_FALSE(exists(dir + "/ZI2_40.dmp")) << dir;
  }
  EXPECT_TRUE(log.contains("nDBdumpsDaysOlder not found in Database registry key. Using default."));
  EXPECT_TRUE(log.contains("nDBdumpsNoOfFilesToRetain not found in Database registry key. Using default."));
}

TEST_F(DumpRetentionTest, PlanTellsWhatASweepWouldDeleteAndWhyWithoutDeleting) {
  setProductDirectory();
  setLimits(30, 2);
  const std::string young = dump(jobResults_, "Corehub_1.dmp", 1);
  const std::string old = dump(jobResults_, "Corehub_40.dmp", 40);
  const std::string third = dump(jobResults_, "Corehub_50.dmp", 50);
  const std::string only = dump(upgradeDumps_, "ZI2_31.dmp", 31);
  zarezodud::DumpSweepPlan plan;
  std::string error;
  ASSERT_TRUE(zarezodud::planDumpRetention(plan, error)) << error;
  EXPECT_EQ(plan.days, 30);
  EXPECT_EQ(plan.filesToRetain, 2);
  ASSERT_EQ(plan.decisions.size(), 4u);
  const auto find = [&plan](const std::string& path) {
    for (const auto& decision : plan.decisions) {
      if (decision.path == path) return decision;
    }
    ADD_FAILURE() << path;
    return zarezodud::DumpDecision();
  };
  EXPECT_TRUE(find(young).keep);
  // Among the newest two, but old: deleted for its age alone.
  EXPECT_FALSE(find(old).keep);
  EXPECT_TRUE(find(old).tooOld);
  EXPECT_FALSE(find(old).beyondCount);
  EXPECT_TRUE(find(third).beyondCount);
  EXPECT_TRUE(find(third).tooOld);
  // A database's only dump goes once it is too old.
  EXPECT_FALSE(find(only).keep);
  EXPECT_FALSE(find(only).beyondCount);
  for (const std::string& path : {young, old, third, only})
    EXPECT_TRUE(exists(path)) << "a plan deletes nothing";
  // The sweep does what the plan said.
  EXPECT_EQ(DeleteOldDBDumps_OnTimer(nullptr), 0);
  EXPECT_TRUE(exists(young));
  for (const std::string& path : {old, third, only}) EXPECT_FALSE(exists(path)) << path;
}

TEST_F(DumpRetentionTest, RegistryLimitsAreUsedAsRead) {
  setProductDirectory();
  setLimits(7, 3);
  for (int age : {1, 2, 3, 4}) dump(jobResults_, "AuditDB_" + std::to_string(age) + ".dmp", age);
  ztest::UpgradeLogCapture log;
  EXPECT_EQ(DeleteOldDBDumps_OnStart(nullptr), 0);
  for (int age : {1, 2, 3})
    EXPECT_TRUE(exists(jobResults_ + "/AuditDB_" + std::to_string(age) + ".dmp")) << age;
  EXPECT_FALSE(exists(jobResults_ + "/AuditDB_4.dmp"));
  EXPECT_FALSE(log.contains("Using default."));

  // 0 is a value like any other: no dump is young enough, or none may be kept.
  setLimits(0, 3);
  EXPECT_EQ(DeleteOldDBDumps_OnTimer(nullptr), 0);
  EXPECT_FALSE(exists(jobResults_ + "/AuditDB_1.dmp"));
  dump(jobResults_, "AuditDB_new.dmp", 0.01);
  setLimits(30, 0);
  EXPECT_EQ(DeleteOldDBDumps_OnTimer(nullptr), 0);
  EXPECT_FALSE(exists(jobResults_ + "/AuditDB_new.dmp"));
}

TEST_F(DumpRetentionTest, NoProductDirectoryIsLoggedAndNothingIsDeleted) {
  const std::string kept = dump(jobResults_, "Corehub_40.dmp", 40);
  ztest::UpgradeLogCapture log;
  EXPECT_EQ(DeleteOldDBDumps_OnTimer(nullptr), 0);
  EXPECT_TRUE(exists(kept));
  EXPECT_TRUE(log.contains("Archivum directory not found in Base registry key."));
  EXPECT_TRUE(log.contains("DeleteOldDBDumps_OnTimer"));
}

TEST_F(DumpRetentionTest, AgeLimitBoundary) {
  const std::string atLimit = dump(jobResults_, "HistoryDB_at.dmp", 5);
  const std::string justUnder = jobResults_ + "/HistoryDB_under.dmp";
  dump(jobResults_, "HistoryDB_under.dmp", 0);
  setAge(justUnder, 5 * kDay - 120);
  EXPECT_EQ(deleteOldDBFileBackups(jobResults_.c_str(), "HistoryDB*.dmp", 5, 10), 1);
  EXPECT_FALSE(exists(atLimit));
  EXPECT_TRUE(exists(justUnder));
}

TEST_F(DumpRetentionTest, LargeDayCountsDoNotWrap) {
  // 50,000 days is more seconds than a 32-bit integer holds.
  const std::string old = dump(jobResults_, "TemplateDB_old.dmp", 400);
  EXPECT_EQ(deleteOldDBFileBackups(jobResults_.c_str(), "TemplateDB*.dmp", 50000, 1), 1);
  EXPECT_TRUE(exists(old));
  EXPECT_EQ(deleteOldDBFileBackups(jobResults_.c_str(), "TemplateDB*.dmp", 0x7fffffffffffffffLL, 1), 1);
  EXPECT_TRUE(exists(old));
}

TEST_F(DumpRetentionTest, OnlyTheSweptDatabasesDumpsAreTouched) {
  const std::string other = dump(jobResults_, "ZI2Corehub.dmp", 40);
  const std::string notDump = dump(jobResults_, "Corehub_40.bak", 40);
  const std::string notDump2 = dump(jobResults_, "Corehub_40.dmp.txt", 40);
  const std::string lower = dump(jobResults_, "corehub_40.dmp", 40);
  const std::string swept = dump(jobResults_, "Corehub_40.dmp", 40);
  fs::create_directory(jobResults_ + "/Corehub_dir.dmp");
  EXPECT_EQ(deleteOldDBFileBackups(jobResults_.c_str(), "Corehub*.dmp", 0, 0), 1);
  EXPECT_FALSE(exists(swept));
  for (const std::string& path : {other, notDump, notDump2, lower, jobResults_ + "/Corehub_dir.dmp"}) {
    EXPECT_TRUE(exists(path)) << path;
  }
}

TEST_F(DumpRetentionTest, SymbolicLinksAreTimedAndRemovedAsLinks) {
  ztest::TempDir outside;
  const std::string target = outside.write("precious.dat", "keep me");
  const std::string link = jobResults_ + "/WFEngine_link.dmp";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  setAge(link, 40 * kDay);  // the link is old, its target is new
  const std::string dangling = jobResults_ + "/WFEngine_dangling.dmp";
  ASSERT_EQ(symlink((outside.path() + "/gone").c_str(), dangling.c_str()), 0);
  setAge(dangling, 40 * kDay);
  const std::string young = dump(jobResults_, "WFEngine_young.dmp", 1);

  EXPECT_EQ(deleteOldDBFileBackups(jobResults_.c_str(), "WFEngine*.dmp", 30, 5), 1);
  EXPECT_FALSE(exists(link));
  EXPECT_FALSE(exists(dangling));
  EXPECT_TRUE(exists(young));
  EXPECT_EQ(ztest::readFile(target), "keep me");
}

TEST_F(DumpRetentionTest, UnreadableSweepsDeleteNothing) {
  EXPECT_EQ(deleteOldDBFileBackups((product_.path() + "/missing").c_str(), "Corehub*.dmp", 0, 0), 0);
  EXPECT_EQ(deleteOldDBFileBackups(nullptr, "Corehub*.dmp", 0, 0), 0);
  EXPECT_EQ(deleteOldDBFileBackups(jobResults_.c_str(), nullptr, 0, 0), 0);
}

}  // namespace
