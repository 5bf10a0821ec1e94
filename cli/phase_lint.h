// The script lint over a whole phase, shared by "zarezodud lint" and "validate --lint": every
// SQL script the phase may run (engine/phase_scripts.h) checked as it would be read
// (db/script_lint.h), with the findings printed one per line as
// "file:line:column: severity: message" or as JSON.
//
// Thread-safety: uses the caller's processor; one thread.
#ifndef ZAREZODUD_CLI_PHASE_LINT_H
#define ZAREZODUD_CLI_PHASE_LINT_H

#include <ostream>
#include <string>
#include <vector>

#include "db/script_lint.h"
#include "db/script_settings.h"
#include "json_writer.h"

class INIFileProcessor;

namespace zcli {

struct PhaseLint {
  int scripts = 0;  // scripts checked
  std::vector<zarezodud::LintFinding> findings;
  int errors = 0;
  int warnings = 0;
  int infos = 0;

  // 2 with errors, 1 with warnings only, else 0.
  int exitCode() const { return errors > 0 ? 2 : (warnings > 0 ? 1 : 0); }
};

// Lints every script phase may run, with the processor's parameters and settings. Lists and
// phase sections that cannot be walked become error findings.
PhaseLint lintPhase(INIFileProcessor& processor, const std::string& phase,
                    const zarezodud::ScriptSettings& settings);

// One line per finding, then a summary line.
void printLint(const PhaseLint& lint, std::ostream& out);

// The members "scripts", "errors", "warnings", "infos" and "findings" (file, line, column,
// severity, message) into the object being written.
void writeLintJson(const PhaseLint& lint, JsonWriter& writer);

}  // namespace zcli

#endif
