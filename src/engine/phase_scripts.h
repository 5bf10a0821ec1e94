// Every SQL script a phase may run, for the script lint: the SQL lists of the phase's pre- and
// post-command parts for each release it names (upgrading from release 14, 15 and 16, with
// the parameters' service-pack prefix when isServicePackUpgrade is set), and the same for its
// sub-module phases, recursively. Nothing is run and no time is recorded.
//
// Thread-safety: uses the processor, which belongs to one thread.
#ifndef ZAREZODUD_ENGINE_PHASE_SCRIPTS_H
#define ZAREZODUD_ENGINE_PHASE_SCRIPTS_H

#include <string>
#include <vector>

#include "export.h"

class INIFileProcessor;

namespace zarezodud {

// A file that could not be walked (missing phase section, unreadable list file) and why.
struct PhaseScriptProblem {
  std::string file;
  std::string message;
};

struct PhaseScripts {
  std::vector<std::string> scripts;  // paths, each once, in the order first met
  std::vector<PhaseScriptProblem> problems;
};

// Walks phaseName with the processor's parameters (its phase configuration file). The
// processor's parameters are restored afterwards.
ZAREZODUD_API PhaseScripts collectPhaseScripts(INIFileProcessor& processor, const std::string& phaseName);

}  // namespace zarezodud

#endif
