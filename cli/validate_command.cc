// zarezodud validate: checks a phase (its section, command types, environment and list files,
// every listed script, recursively through sub-modules) and prints each problem with the file
// it concerns.
#include <iostream>
#include <memory>

#include "commands.h"
#include "engine/ini_file_processor.h"
#include "engine_support.h"
#include "param_file.h"
#include "phase_lint.h"
#include "script_options.h"

namespace zcli {

namespace {
struct ValidateOptions {
  std::string paramsFile;
  std::vector<std::string> overrides;
  ScriptOptions scripts;
  std::string phase;
  bool lint = false;
};
}  // namespace

void printError(const std::string& message) { std::cerr << "zarezodud: " << message << "\n"; }

Command addValidateCommand(CLI::App& app) {
  auto options = std::make_shared<ValidateOptions>();
  CLI::App* cmd = app.add_subcommand("validate", "Check that a phase and every file it names are in place");
  cmd->add_option("--params", options->paramsFile, "Parameter file (INI, section [Parameters])")->required();
  // One value per --set, so that "--set k=v PHASE" leaves PHASE to the phase.
  cmd->add_option("--set", options->overrides, "Override a parameter: key=value (repeatable)")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  addScriptOptions(cmd, options->scripts);
  cmd->add_flag("--lint", options->lint,
                "Also check the content of every script the phase may run (as zarezodud lint does)");
  cmd->add_option("PHASE", options->phase, "Phase section to validate")->required();
  cmd->footer(
      "Exit codes: 0 valid, 1 valid with lint warnings, 2 problems found, 64 usage error.\n"
      "Example:\n  zarezodud validate --params examples/params.ini UpgradeDB --lint");
  auto run = [options]() -> int {
    std::vector<std::string> overrides = options->overrides;
    std::string optionError;
    if (!appendScriptOverrides(options->scripts, overrides, optionError)) {
      printError(optionError);
      return kExitUsage;
    }
    ParamLoadResult loaded = loadParamFile(options->paramsFile, overrides);
    if (!loaded.ok) {
      printError(loaded.error);
      return loaded.exitCode;
    }
    const ZARezodudParams& params = *loaded.params;
    std::string error;
    if (!startLogs(params, loaded.file, error)) {
      printError(error);
      return kExitFailure;
    }
    auto processor = std::make_unique<INIFileProcessor>(params, 1);
    unsigned int valid;
    std::vector<Problem> problems;
    {
      LogTap tap;
      valid = processor->validatePhase(options->phase);
      problems = validationProblems(tap.lines(), params.configFile());
    }
    for (const Problem& problem : problems) std::cout << problem.file << ": " << problem.message << "\n";
    int lintExit = kExitSuccess;
    if (options->lint) {
      const PhaseLint lint = lintPhase(*processor, options->phase, loaded.scripts);
      printLint(lint, std::cout);
      lintExit = lint.exitCode();
    }
    if (!logsWritten(error)) {
      printError(error);
      return kExitFailure;
    }
    if (!valid) {
      std::cout << "Phase [" << options->phase << "] is not valid; see the upgrade log " << params.logfile()
                << " for details.\n";
      return kExitFailure;
    }
    std::cout << "Phase [" << options->phase << "] is valid: " << processor->getTotalScriptsCount()
              << " script(s) listed"
              << (lintExit == kExitFailure ? ", but the lint found errors in them" : "") << ".\n";
    return lintExit;
  };
  return Command{cmd, run};
}

}  // namespace zcli
