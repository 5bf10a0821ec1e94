// The decisions of a dump-retention sweep (maint/dump_retention.h) without its deletions:
// which dump files a sweep keeps and which it deletes, and why. The sweep itself acts on these
// decisions; `zarezodud dumps sweep --dry-run` shows them.
//
// Thread-safety: no shared state.
#ifndef ZAREZODUD_MAINT_DUMP_SWEEP_PLAN_H
#define ZAREZODUD_MAINT_DUMP_SWEEP_PLAN_H

#include <cstdint>
#include <string>
#include <vector>

#include "export.h"

namespace zarezodud {

// What a sweep decides for one dump file, and why.
struct DumpDecision {
  std::string path;
  int64_t modified = 0;  // seconds since 1970
  bool keep = false;
  bool beyondCount = false;  // not among the newest filesToRetain of its pattern and directory
  bool tooOld = false;       // age (now - modified) is days * 86,400 seconds or more
};

// The decisions deleteOldDBFileBackups makes for directory and pattern at time now, newest
// first, deleting nothing. False when the directory or an entry's time cannot be read.
bool planDumpSweep(const std::string& directory, const std::string& pattern, long long days,
                   long long filesToRetain, int64_t now, std::vector<DumpDecision>& decisions);

// The limits and every decision of one whole sweep (the ten databases in both directories) for
// the current focus, as DeleteOldDBDumps_OnTimer would make them now, deleting nothing. The
// limits come from the registry with their defaults. False with error when the product
// directory is not in the registry.
struct DumpSweepPlan {
  long long days = 0;
  long long filesToRetain = 0;
  bool daysDefaulted = false;
  bool filesDefaulted = false;
  std::vector<DumpDecision> decisions;
};
ZAREZODUD_API bool planDumpRetention(DumpSweepPlan& plan, std::string& error);

}  // namespace zarezodud

#endif
