// What a resume checks in a journal before it runs anything, beyond the run's identity: that
// the scripts it would run again are the files the interrupted run read (their SHA-256), and
// how to name the recorded positions that the phase, as configured now, no longer has.
//
// Thread-safety: stateless functions.
#ifndef ZAREZODUD_CLI_RESUME_POSITION_H
#define ZAREZODUD_CLI_RESUME_POSITION_H

#include <cstddef>
#include <string>
#include <vector>

#include "engine/run_journal.h"
#include "engine/script_position.h"

namespace zcli {

// The positions, one per line ("  UpgradeDB > stage 1 > list a.lst > k.sql (2nd)"), at most
// limit of them and then "  ... and <n> more".
std::string describePositions(const std::vector<ScriptPosition>& positions, std::size_t limit = 5);

// A script that the resume would run again whose file is no longer what the journal recorded.
struct ChangedScript {
  std::string path;
  bool readable = true;  // false: it can no longer be read
};

// The scripts of replay that have no successful finished record and a recorded digest, whose
// file now has another digest or cannot be read.
std::vector<ChangedScript> changedScripts(const RunJournalReplay& replay);

}  // namespace zcli

#endif
