#include "maint/dump_retention.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "log/zarezodud_logger.h"
#include "platform/registry_names.h"
#include "platform/rk_pi_base.h"
#include "platform/rk_pi_focus.h"
#include "platform/rk_platform_info.h"
#include "platform/time_stamp.h"
#include "platform/zu_directory.h"
#include "platform/zu_file.h"
#include "platform/zu_path.h"

namespace {

const char kContext[] = "DeleteOldDBDumps_OnTimer";
const long long kDefaultDaysOlder = 30;
const long long kDefaultFilesToRetain = 1;
const int64_t kSecondsPerDay = 86400;

const char* const kDatabaseNames[] = {"Corehub",     "ZI2",     "WFEngine", "RKCloud",       "HistoryDB",
                                      "AppStudioDB", "AuditDB", "CacheDB",  "ResourceMgrDB", "TemplateDB"};

// days * 86,400 without wrapping: saturates at the 64-bit limits.
int64_t ageLimitSeconds(long long days) {
  if (days > std::numeric_limits<int64_t>::max() / kSecondsPerDay) return std::numeric_limits<int64_t>::max();
  if (days < std::numeric_limits<int64_t>::min() / kSecondsPerDay) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(days) * kSecondsPerDay;
}

// now - then, saturated, so that a file time far in the past or future cannot wrap.
int64_t ageOf(int64_t now, int64_t then) {
  int64_t age = 0;
  if (__builtin_sub_overflow(now, then, &age)) {
    return then < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  }
  return age;
}

// A registry limit, or -1 when it cannot be read; values beyond the signed range saturate.
long long readLimit(zarezodud::RKPlatformInfo& registry, const char* valueName) {
  unsigned long long value = 0;
  if (!registry.getNumber(zarezodud::registry_names::kDatabaseKey, valueName, &value)) return -1;
  const auto max = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
  return static_cast<long long>(std::min(value, max));
}

void sweepDirectory(const std::string& directory, long long days, long long filesToRetain) {
  for (const char* name : kDatabaseNames) {
    deleteOldDBFileBackups(directory.c_str(), (std::string(name) + "*.dmp").c_str(), days, filesToRetain);
  }
}

}  // namespace

int deleteOldDBFileBackups(const char* directory, const char* pattern, long long days,
                           long long filesToRetain) {
  if (directory == nullptr || pattern == nullptr) return 0;
  zarezodud::CZuDirectory listing;
  if (listing.Open(directory, pattern, true).IsError()) return 0;
  const int64_t limit = ageLimitSeconds(days);

  std::vector<std::pair<std::string, int64_t>> candidates;
  std::string name;
  for (;;) {
    if (listing.Read(name).IsError()) return 0;
    if (listing.IsEnd()) break;
    const std::string path = zarezodud::CZuPath::Append(directory, name);
    int64_t written = 0;
    // The entry's own time: a link is timed as itself and never followed.
    if (zarezodud::CZuFile::GetLinkTimes(path, nullptr, &written, nullptr).IsError()) return 0;
    candidates.emplace_back(path, written);
  }
  listing.Close();

  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  const int64_t now = zarezodud::CTimeStamp::Now();
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const bool withinCount = filesToRetain > 0 && i < static_cast<unsigned long long>(filesToRetain);
    const bool young = ageOf(now, candidates[i].second) < limit;
    if (!(withinCount && young)) zarezodud::CZuFile::Delete(candidates[i].first);
  }
  return 1;
}

int DeleteOldDBDumps_OnTimer(void* arg) {
  static_cast<void>(arg);
  const std::string focus = zarezodud::RKPI_Focus::getFocus();
  zarezodud::RKPI_Base base;
  base.setFocus(focus.c_str());
  zarezodud::RKPlatformInfo registry;
  registry.setFocus(focus.c_str());

  const char* productDirectory = base.getQuasarDirectory();
  if (productDirectory == nullptr) {
    ZARezodudLogger::LogLine(0, kContext, "%s", "Archivum directory not found in Base registry key.");
    return 0;
  }
  std::string directory = productDirectory;

  long long days = readLimit(registry, zarezodud::registry_names::kDumpsDaysOlderValue);
  if (days == -1) {
    ZARezodudLogger::LogLine(0, kContext, "%s",
                             "nDBdumpsDaysOlder not found in Database registry key. Using default.");
    days = kDefaultDaysOlder;
  }
  long long filesToRetain = readLimit(registry, zarezodud::registry_names::kDumpsFilesToRetainValue);
  if (filesToRetain == -1) {
    ZARezodudLogger::LogLine(0, kContext, "%s",
                             "nDBdumpsNoOfFilesToRetain not found in Database registry key. Using default.");
    filesToRetain = kDefaultFilesToRetain;
  }

  zarezodud::FXPath::Append(directory, "iFieldAgent", 0);
  zarezodud::FXPath::Append(directory, "JobResults", 0);
  sweepDirectory(directory, days, filesToRetain);
  zarezodud::FXPath::Append(directory, "ZARezodud", 0);
  sweepDirectory(directory, days, filesToRetain);
  return 0;
}

int DeleteOldDBDumps_OnStart(void* arg) { return DeleteOldDBDumps_OnTimer(arg); }
