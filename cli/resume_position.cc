#include "resume_position.h"

#include "platform/crypto/sha256.h"

namespace zcli {

std::string describePositions(const std::vector<ScriptPosition>& positions, std::size_t limit) {
  std::string text;
  for (std::size_t i = 0; i < positions.size() && i < limit; ++i)
    text += "  " + positions[i].describe() + "\n";
  if (positions.size() > limit) text += "  ... and " + std::to_string(positions.size() - limit) + " more\n";
  return text;
}

std::vector<ChangedScript> changedScripts(const RunJournalReplay& replay) {
  std::vector<ChangedScript> changed;
  for (const JournalScript& script : replay.scripts) {
    if (script.succeeded() || script.sha256.empty()) continue;
    std::string now;
    std::string error;
    const bool readable = zarezodud::sha256File(script.path, now, error);
    if (!readable || now != script.sha256) changed.push_back(ChangedScript{script.path, readable});
  }
  return changed;
}

}  // namespace zcli
