// The list runners' shared resume step for one list entry: while the position record's resume
// flag is 1, entries before the recorded current script are skipped; the recorded one clears
// the flag and runs again; in an ordinary run each entry becomes the current script.
// Thread-safety: works on the caller's record only.
#ifndef ZAREZODUD_ENGINE_RESUME_STEP_H
#define ZAREZODUD_ENGINE_RESUME_STEP_H

#include <string>

#include "log/result_messages.h"

namespace zarezodud {

// False when the entry is to be skipped without a word.
inline bool takeListEntry(RKZARezodud::ProcessPhase& record, const std::string& entry) {
  if (record.getResumeFlag() == 1 && record.getCurrentScript() != entry) return false;
  if (record.getResumeFlag() != 0) {
    record.setResumeFlag(0);
  } else {
    record.setCurrentScript(entry);
  }
  return true;
}

}  // namespace zarezodud

#endif
