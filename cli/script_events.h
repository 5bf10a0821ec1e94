// ScriptEventRecorder: an engine observer that keeps, in order, the lists a phase reaches and
// every script that runs, that the service-pack rule skips or that a resume passes over as
// finished in an earlier run, with codes and times. plan
// prints what it kept; run builds its report from it. Lists are grouped under the phase
// (sub-module) that runs them.
//
// Thread-safety: called on the engine's thread only; read it after processing returns.
#ifndef ZAREZODUD_CLI_SCRIPT_EVENTS_H
#define ZAREZODUD_CLI_SCRIPT_EVENTS_H

#include <string>
#include <vector>

#include "engine/script_observer.h"
#include "json_writer.h"

namespace zcli {

struct ScriptOutcome {
  std::string path;
  bool skipped = false;
  std::string reason;    // why it was skipped
  bool earlier = false;  // skipped because it finished in an earlier run (code: its code then)
  bool listed = false;   // a batch or executable entry: listed and logged, never started
  bool ended = false;    // a run script that returned
  bool succeeded = false;
  int code = 0;
  double seconds = 0;
};

struct ListOutcome {
  std::string phase;
  std::string list;
  std::vector<ScriptOutcome> scripts;
};

class ScriptEventRecorder : public ScriptObserver {
 public:
  void onScriptStart(const std::string& phase, const std::string& list,
                     const std::string& scriptPath) override;
  void onScriptEnd(const std::string& phase, const std::string& list, const std::string& scriptPath, int code,
                   bool succeeded, double seconds) override;
  void onScriptSkipped(const std::string& phase, const std::string& list, const std::string& scriptPath,
                       const std::string& reason) override;
  void onScriptDoneEarlier(const std::string& phase, const std::string& list, const std::string& scriptPath,
                           int code) override;
  // Recorded as listed; still passed through onScriptStart/onScriptEnd so that a derived
  // observer sees the entry as it sees a script.
  void onEntryListed(const std::string& phase, const std::string& list,
                     const std::string& entryPath) override;
  void onPositionChanged(const RKZARezodud::ProcessPhase& record) override;

  // The lists reached, in order; a list reached again after another one appears again.
  const std::vector<ListOutcome>& lists() const { return m_lists; }
  // Phases (sub-modules included) in the order they were first reached.
  std::vector<std::string> phases() const;
  // Scripts run (listed entries are not counted), skipped, listed and failed.
  int ranCount() const;
  int listedCount() const;
  // Skipped by the service-pack rule (not counting those that finished in an earlier run).
  int skippedCount() const;
  int failedCount() const;
  // Passed over because they finished in an earlier run.
  int earlierCount() const;

  // Writes {"phases": [...], "lists": [{"phase","list","scripts":[...]}], "totals": {...}} members
  // into the object open in writer.
  void writeJson(JsonWriter& writer) const;
  // Human-readable listing, one line per phase, list and script.
  std::string text() const;

 private:
  ListOutcome& listFor(const std::string& phase, const std::string& list);

  bool m_listing = false;  // inside onEntryListed

  std::vector<ListOutcome> m_lists;
};

}  // namespace zcli

#endif
