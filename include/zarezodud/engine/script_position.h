// ScriptPosition: the exact place of one list entry in a phase run, as the run journal records
// it and as a resume finds it again: the chain of phases from the outermost one down to the
// sub-module that runs the list (each sub-module with the occurrence of its name among its
// parent's sub-modules), the stage (1 pre-command, 3 post-command), the list file with the
// occurrence of its name among the stage's lists, and the entry as written in the list with
// the occurrence of that entry in the list. Occurrences count from 1. Two different places of a
// phase never share a position, even when a list names one script twice.
//
// Thread-safety: plain value.
#ifndef ZAREZODUD_ENGINE_SCRIPT_POSITION_H
#define ZAREZODUD_ENGINE_SCRIPT_POSITION_H

#include <string>
#include <vector>

#include "export.h"

struct ZAREZODUD_API ScriptPosition {
  // A sub-module on the way down: its name as the parent names it, and which occurrence of
  // that name in the parent's sub-module list it is.
  struct SubModule {
    std::string name;
    int occurrence = 1;
    bool operator==(const SubModule& other) const {
      return name == other.name && occurrence == other.occurrence;
    }
  };

  std::string phase;                  // the outermost phase
  std::vector<SubModule> subModules;  // outermost first; empty for the phase's own lists
  int stage = 0;                      // 1 pre-command lists, 3 post-command lists
  std::string list;                   // list file as named in the phase
  int listOccurrence = 1;
  std::string entry;  // the list entry (trimmed line)
  int entryOccurrence = 1;

  // A text that identifies the position exactly (unambiguous whatever the names hold); equal
  // keys mean equal positions.
  std::string key() const;
  // For messages: "UpgradeDB > TableScript > stage 1 > list All.lst > APP_Client.SQL", with
  // "(2nd)" and the like after a name that is not its first occurrence.
  std::string describe() const;

  bool operator==(const ScriptPosition& other) const;
  bool operator!=(const ScriptPosition& other) const { return !(*this == other); }
};

#endif
