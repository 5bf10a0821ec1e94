// zarezodud lint: checks every SQL script a phase may run, as the engine would read and send
// it, without touching a database or writing a log: encodings, invalid GO lines, sqlcmd syntax,
// unterminated literals and comments, NUL characters, mixed line ends, empty scripts.
#include <iostream>
#include <memory>

#include "commands.h"
#include "engine/ini_file_processor.h"
#include "engine_support.h"
#include "json_writer.h"
#include "param_file.h"
#include "phase_lint.h"
#include "script_options.h"

namespace zcli {

namespace {

struct LintOptions {
  std::string paramsFile;
  std::vector<std::string> overrides;
  ScriptOptions scripts;
  std::string phase;
  bool json = false;
};

int runLint(LintOptions options) {
  std::string error;
  if (!appendScriptOverrides(options.scripts, options.overrides, error)) {
    printError(error);
    return kExitUsage;
  }
  ParamLoadResult loaded = loadParamFile(options.paramsFile, options.overrides);
  if (!loaded.ok) {
    printError(loaded.error);
    return loaded.exitCode;
  }
  const ZARezodudParams& params = *loaded.params;
  if (params.m_configFile[0] == '\0') {
    printError(loaded.file + ": configFile is empty. Set configFile= to the phase configuration file.");
    return kExitFailure;
  }
  auto processor = std::make_unique<INIFileProcessor>(params, 0);
  PhaseLint lint;
  {
    LogTap tap;
    lint = lintPhase(*processor, options.phase, loaded.scripts);
    // A phase section that cannot be read says so in the upgrade log (not written here).
    for (const auto& line : tap.lines()) {
      lint.findings.insert(
          lint.findings.begin(),
          zarezodud::LintFinding{params.configFile(), 0, 0, zarezodud::LintSeverity::kError, line.second});
      ++lint.errors;
    }
  }
  if (options.json) {
    JsonWriter writer;
    writer.beginObject().key("phase").value(options.phase);
    writeLintJson(lint, writer);
    writer.endObject();
    std::cout << writer.str();
  } else {
    printLint(lint, std::cout);
  }
  return lint.exitCode();
}

}  // namespace

Command addLintCommand(CLI::App& app) {
  auto options = std::make_shared<LintOptions>();
  CLI::App* cmd =
      app.add_subcommand("lint", "Check every SQL script a phase may run, as it would be read and sent");
  cmd->add_option("--params", options->paramsFile, "Parameter file (INI, section [Parameters])")->required();
  cmd->add_option("--set", options->overrides, "Override a parameter: key=value (repeatable)");
  addScriptOptions(cmd, options->scripts);
  cmd->add_flag("--json", options->json, "Print the findings as JSON");
  cmd->add_option("PHASE", options->phase, "Phase section whose scripts to check")->required();
  cmd->footer(
      "Checks the scripts of every list the phase and its sub-modules name, for every release.\n"
      "One line per finding: file:line:column: severity: message (severity error, warning or\n"
      "info; line and column 0 when the finding concerns the whole file).\n"
      "Exit codes: 0 clean (notes only), 1 warnings, 2 errors, 64 usage error.\n"
      "Example:\n  zarezodud lint --params examples/params.ini UpgradeDB");
  return Command{cmd, [options]() { return runLint(*options); }};
}

}  // namespace zcli
