// zarezodud validate: checks a phase (its section, command types, environment and list files,
// every listed script, recursively through sub-modules) and prints each problem with the file
// it concerns.
#include <iostream>
#include <memory>

#include "commands.h"
#include "engine/ini_file_processor.h"
#include "engine_support.h"
#include "param_file.h"

namespace zcli {

namespace {
struct ValidateOptions {
  std::string paramsFile;
  std::vector<std::string> overrides;
  std::string phase;
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
  cmd->add_option("PHASE", options->phase, "Phase section to validate")->required();
  cmd->footer(
      "Exit codes: 0 valid, 2 problems found, 64 usage error.\n"
      "Example:\n  zarezodud validate --params examples/params.ini UpgradeDB");
  auto run = [options]() -> int {
    ParamLoadResult loaded = loadParamFile(options->paramsFile, options->overrides);
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
              << " script(s) listed.\n";
    return kExitSuccess;
  };
  return Command{cmd, run};
}

}  // namespace zcli
