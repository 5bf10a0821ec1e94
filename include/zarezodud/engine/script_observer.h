// ScriptObserver: an optional listener that a processor tells when a script starts and ends,
// when a script is skipped by the service-pack selection or because it finished in an earlier
// run, when a batch or executable entry is listed, and whenever the position record changes.
// The command-line front end uses it for its progress display and run report. With no observer
// the engine behaves exactly the same.
//
// Thread-safety: called on the processor's thread, synchronously.
#ifndef ZAREZODUD_ENGINE_SCRIPT_OBSERVER_H
#define ZAREZODUD_ENGINE_SCRIPT_OBSERVER_H

#include <string>

#include "export.h"

namespace RKZARezodud {
class ProcessPhase;
}

class ZAREZODUD_API ScriptObserver {
 public:
  virtual ~ScriptObserver() = default;
  // A script of list (as named in its phase) is about to run; scriptPath is the full path.
  virtual void onScriptStart(const std::string& phase, const std::string& list,
                             const std::string& scriptPath) {
    (void)phase, (void)list, (void)scriptPath;
  }
  // The script ended with code; succeeded is the runner's verdict.
  virtual void onScriptEnd(const std::string& phase, const std::string& list, const std::string& scriptPath,
                           int code, bool succeeded, double seconds) {
    (void)phase, (void)list, (void)scriptPath, (void)code, (void)succeeded, (void)seconds;
  }
  // The script is not run; reason says why.
  virtual void onScriptSkipped(const std::string& phase, const std::string& list,
                               const std::string& scriptPath, const std::string& reason) {
    (void)phase, (void)list, (void)scriptPath, (void)reason;
  }
  // The script is passed over because the run journal shows that it finished successfully,
  // with code, in an earlier run of the phase.
  virtual void onScriptDoneEarlier(const std::string& phase, const std::string& list,
                                   const std::string& scriptPath, int code) {
    (void)phase, (void)list, (void)scriptPath, (void)code;
  }
  // An entry of a batch or executable list was reached and logged; such entries are listed,
  // never started. By default this is reported as a script that started and succeeded at
  // once with code 0, so that observers that count scripts count these too.
  virtual void onEntryListed(const std::string& phase, const std::string& list,
                             const std::string& entryPath) {
    onScriptStart(phase, list, entryPath);
    onScriptEnd(phase, list, entryPath, 0, true, 0.0);
  }
  // The position record of the outermost processPhase call changed.
  virtual void onPositionChanged(const RKZARezodud::ProcessPhase& record) { (void)record; }
};

#endif
