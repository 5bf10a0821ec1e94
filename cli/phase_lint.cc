#include "phase_lint.h"

#include "engine/ini_file_processor.h"
#include "engine/phase_scripts.h"

namespace zcli {

PhaseLint lintPhase(INIFileProcessor& processor, const std::string& phase,
                    const zarezodud::ScriptSettings& settings) {
  PhaseLint lint;
  const zarezodud::PhaseScripts walked = zarezodud::collectPhaseScripts(processor, phase);
  for (const zarezodud::PhaseScriptProblem& problem : walked.problems) {
    lint.findings.push_back(
        zarezodud::LintFinding{problem.file, 0, 0, zarezodud::LintSeverity::kError, problem.message});
  }
  for (const std::string& script : walked.scripts) zarezodud::lintScript(script, settings, lint.findings);
  lint.scripts = static_cast<int>(walked.scripts.size());
  for (const zarezodud::LintFinding& finding : lint.findings) {
    switch (finding.severity) {
      case zarezodud::LintSeverity::kError:
        ++lint.errors;
        break;
      case zarezodud::LintSeverity::kWarning:
        ++lint.warnings;
        break;
      case zarezodud::LintSeverity::kInfo:
        ++lint.infos;
        break;
    }
  }
  return lint;
}

void printLint(const PhaseLint& lint, std::ostream& out) {
  for (const zarezodud::LintFinding& f : lint.findings) {
    out << f.file << ":" << f.line << ":" << f.column << ": " << zarezodud::lintSeverityName(f.severity)
        << ": " << f.message << "\n";
  }
  out << lint.scripts << " script(s) checked: " << lint.errors << " error(s), " << lint.warnings
      << " warning(s), " << lint.infos << " note(s).\n";
}

void writeLintJson(const PhaseLint& lint, JsonWriter& writer) {
  writer.key("scripts").value(lint.scripts);
  writer.key("errors").value(lint.errors).key("warnings").value(lint.warnings).key("infos").value(lint.infos);
  writer.key("findings").beginArray();
  for (const zarezodud::LintFinding& f : lint.findings) {
    writer.beginObject()
        .key("file")
        .value(f.file)
        .key("line")
        .value(f.line)
        .key("column")
        .value(f.column)
        .key("severity")
        .value(zarezodud::lintSeverityName(f.severity))
        .key("message")
        .value(f.message)
        .endObject();
  }
  writer.endArray();
}

}  // namespace zcli
