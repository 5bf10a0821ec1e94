#include "maint/dump_retention.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "log/zarezodud_logger.h"
#include "maint/dump_sweep_plan.h"
#include "platform/registry/registry_names.h"
#include "platform/registry/rk_pi_base.h"
#include "platform/registry/rk_pi_focus.h"
#include "platform/registry/rk_platform_info.h"
#include "platform/fs/time_stamp.h"
#include "platform/fs/zu_directory.h"
#include "platform/fs/zu_file.h"
#include "platform/fs/zu_path.h"

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

bool zarezodud::planDumpSweep(const std::string& directory, const std::string& pattern, long long days,
                              long long filesToRetain, int64_t now, std::vector<DumpDecision>& decisions) {
  zarezodud::CZuDirectory listing;
  if (listing.Open(directory, pattern, true).IsError()) return false;
  const int64_t limit = ageLimitSeconds(days);

  std::vector<DumpDecision> candidates;
  std::string name;
  for (;;) {
    if (listing.Read(name).IsError()) return false;
    if (listing.IsEnd()) break;
    DumpDecision decision;
    decision.path = zarezodud::CZuPath::Append(directory, name);
    // The entry's own time: a link is timed as itself and never followed.
    if (zarezodud::CZuFile::GetLinkTimes(decision.path, nullptr, &decision.modified, nullptr).IsError())
      return false;
    candidates.push_back(std::move(decision));
  }
  listing.Close();

  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const DumpDecision& a, const DumpDecision& b) { return a.modified > b.modified; });
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    DumpDecision& decision = candidates[i];
    // Kept only while among the newest filesToRetain AND younger than the limit.
    decision.beyondCount = !(filesToRetain > 0 && i < static_cast<unsigned long long>(filesToRetain));
    decision.tooOld = !(ageOf(now, decision.modified) < limit);
    decision.keep = !decision.beyondCount && !decision.tooOld;
  }
  decisions.insert(decisions.end(), candidates.begin(), candidates.end());
  return true;
}

int deleteOldDBFileBackups(const char* directory, const char* pattern, long long days,
                           long long filesToRetain) {
  if (directory == nullptr || pattern == nullptr) return 0;
  std::vector<zarezodud::DumpDecision> decisions;
  if (!zarezodud::planDumpSweep(directory, pattern, days, filesToRetain, zarezodud::CTimeStamp::Now(),
                                decisions)) {
    return 0;
  }
  for (const zarezodud::DumpDecision& decision : decisions) {
    if (!decision.keep) zarezodud::CZuFile::Delete(decision.path);
  }
  return 1;
}

namespace {

// Product directory and limits of a sweep for the current focus, logging what is missing.
bool sweepSettings(std::string& directory, long long& days, long long& filesToRetain, bool& daysDefaulted,
                   bool& filesDefaulted) {
  const std::string focus = zarezodud::RKPI_Focus::getFocus();
  zarezodud::RKPI_Base base;
  base.setFocus(focus.c_str());
  zarezodud::RKPlatformInfo registry;
  registry.setFocus(focus.c_str());

  const char* productDirectory = base.getQuasarDirectory();
  if (productDirectory == nullptr) {
    ZARezodudLogger::LogLine(0, kContext, "%s", "Archivum directory not found in Base registry key.");
    return false;
  }
  directory = productDirectory;

  days = readLimit(registry, zarezodud::registry_names::kDumpsDaysOlderValue);
  daysDefaulted = days == -1;
  if (daysDefaulted) {
    ZARezodudLogger::LogLine(0, kContext, "%s",
                             "nDBdumpsDaysOlder not found in Database registry key. Using default.");
    days = kDefaultDaysOlder;
  }
  filesToRetain = readLimit(registry, zarezodud::registry_names::kDumpsFilesToRetainValue);
  filesDefaulted = filesToRetain == -1;
  if (filesDefaulted) {
    ZARezodudLogger::LogLine(0, kContext, "%s",
                             "nDBdumpsNoOfFilesToRetain not found in Database registry key. Using default.");
    filesToRetain = kDefaultFilesToRetain;
  }
  zarezodud::FXPath::Append(directory, "iFieldAgent", 0);
  zarezodud::FXPath::Append(directory, "JobResults", 0);
  return true;
}

}  // namespace

bool zarezodud::planDumpRetention(DumpSweepPlan& plan, std::string& error) {
  std::string directory;
  if (!sweepSettings(directory, plan.days, plan.filesToRetain, plan.daysDefaulted, plan.filesDefaulted)) {
    error = "the product directory is not in the registry (key Base, value sProductDirectory)";
    return false;
  }
  const int64_t now = CTimeStamp::Now();
  for (int pass = 0; pass < 2; ++pass) {
    for (const char* name : kDatabaseNames) {
      // An unreadable directory is skipped, as the sweep skips it.
      planDumpSweep(directory, std::string(name) + "*.dmp", plan.days, plan.filesToRetain, now,
                    plan.decisions);
    }
    FXPath::Append(directory, "ZARezodud", 0);
  }
  return true;
}

int DeleteOldDBDumps_OnTimer(void* arg) {
  static_cast<void>(arg);
  std::string directory;
  long long days = 0, filesToRetain = 0;
  bool daysDefaulted = false, filesDefaulted = false;
  if (!sweepSettings(directory, days, filesToRetain, daysDefaulted, filesDefaulted)) return 0;
  sweepDirectory(directory, days, filesToRetain);
  zarezodud::FXPath::Append(directory, "ZARezodud", 0);
  sweepDirectory(directory, days, filesToRetain);
  return 0;
}

int DeleteOldDBDumps_OnStart(void* arg) { return DeleteOldDBDumps_OnTimer(arg); }
