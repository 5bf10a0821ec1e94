// The list entries a phase reaches when it is processed as configured now, in processing
// order and with the exact positions the processor gives them (engine/script_position.h):
// pre-command lists, sub-modules (recursively), post-command lists, the release's list files,
// and the drop lists passed over as a non-repair upgrade passes them. Nothing is run and
// nothing is logged; the service-pack selection is not applied (a script it skips still has
// its place). A resume compares a journal's recorded positions with this walk.
//
// Thread-safety: uses the processor; the caller's thread only.
#ifndef ZAREZODUD_ENGINE_PHASE_WALK_H
#define ZAREZODUD_ENGINE_PHASE_WALK_H

#include <string>
#include <vector>

#include "engine/script_position.h"

class INIFileProcessor;

namespace zarezodud {

struct WalkedEntry {
  ScriptPosition position;
  std::string path;  // phase directory, "/", entry
};

// Fills entries. False with error when a section is missing or unreadable, a command type is
// invalid, a list file cannot be read or the sub-modules form a cycle (processing would fail
// there too).
bool walkPhase(INIFileProcessor& processor, const std::string& phase, std::vector<WalkedEntry>& entries,
               std::string& error);

}  // namespace zarezodud

#endif
